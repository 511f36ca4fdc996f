#include <initguid.h>

#include "PictureEncoder.h"

#include <objidl.h>
#include <ocidl.h>

PictureEncoder::PictureEncoder()
{
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                     factory_.ReceiveVoid());
}

bool PictureEncoder::Encode(const uint8_t* pixels, int width, int height, bool png, float quality, std::string& bytes)
{
    if (!factory_ || width <= 0 || height <= 0) return false;
    ComRef<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Receive()))) return false;
    ComRef<IWICBitmapEncoder> encoder;
    if (FAILED(factory_->CreateEncoder(png ? GUID_ContainerFormatPng : GUID_ContainerFormatJpeg, nullptr,
                                       encoder.Receive())) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache))) {
        return false;
    }
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    if (FAILED(encoder->CreateNewFrame(frame.Receive(), options.Receive()))) return false;
    if (!png && options) {
        PROPBAG2 name = {};
        name.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_R4;
        value.fltVal = quality;
        options->Write(1, &name, &value);
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    if (FAILED(frame->Initialize(options.Get())) || FAILED(frame->SetSize(width, height)) ||
        FAILED(frame->SetPixelFormat(&format))) {
        return false;
    }
    // An encoder that wants another layout gets the picture converted to it.
    const UINT stride = static_cast<UINT>(width) * 4;
    const UINT size = stride * static_cast<UINT>(height);
    if (IsEqualGUID(format, GUID_WICPixelFormat32bppBGR)) {
        if (FAILED(frame->WritePixels(height, stride, size, const_cast<BYTE*>(pixels)))) return false;
    } else {
        ComRef<IWICBitmap> bitmap;
        ComRef<IWICFormatConverter> converter;
        if (FAILED(factory_->CreateBitmapFromMemory(width, height, GUID_WICPixelFormat32bppBGR, stride, size,
                                                    const_cast<BYTE*>(pixels), bitmap.Receive())) ||
            FAILED(factory_->CreateFormatConverter(converter.Receive())) ||
            FAILED(converter->Initialize(bitmap.Get(), format, WICBitmapDitherTypeNone, nullptr, 0,
                                         WICBitmapPaletteTypeCustom)) ||
            FAILED(frame->WriteSource(converter.Get(), nullptr))) {
            return false;
        }
    }
    if (FAILED(frame->Commit()) || FAILED(encoder->Commit())) return false;
    HGLOBAL memory = nullptr;
    STATSTG stat = {};
    if (FAILED(GetHGlobalFromStream(stream.Get(), &memory)) || FAILED(stream->Stat(&stat, STATFLAG_NONAME))) {
        return false;
    }
    const void* data = GlobalLock(memory);
    if (!data) return false;
    bytes.assign(static_cast<const char*>(data), static_cast<size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(memory);
    return true;
}
