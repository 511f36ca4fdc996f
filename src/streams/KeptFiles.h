// The instance's own hold on the files the browser hands over. Browsers delete a stream's
// file once the stream is destroyed, and caches evict files later, while the renderer may
// open a delivered file at any time until the page closes. Each file is kept as a hard
// link (same volume) or else a copy, in a subfolder of its own under a folder of the
// instance's own in the temporary folder, so the browser's file name stays the last path
// segment. Everything kept, and the folder, goes with this object at the latest.
#pragma once

#include <string>
#include <vector>

class KeptFiles {
public:
    enum class Method { LinkOrCopy, LinkOnly, CopyOnly };

    KeptFiles() = default;
    ~KeptFiles();
    KeptFiles(const KeptFiles&) = delete;
    KeptFiles& operator=(const KeptFiles&) = delete;

    // The kept file's path, or empty when the file could be neither linked nor copied, or
    // its path would not fit MAX_PATH.
    std::string Keep(const std::string& browserFile, Method method = Method::LinkOrCopy);
    // A kept file nobody will be handed: deleted now rather than with the folder.
    void Drop(const std::string& keptFile);
    // Deletes every kept file and the folder; later files start a new folder.
    void Clear();

    const std::string& Folder() const { return folder_; }
    size_t Count() const { return files_.size(); }

private:
    struct Kept {
        std::string path;
        std::string subfolder;
    };

    bool MakeFolder();
    static void Delete(const Kept& kept);

    std::string folder_;
    unsigned nextSubfolder_ = 0;
    std::vector<Kept> files_;
};

// The last segment of a local path ('\\' or '/'); "stream" when there is none.
std::string FileNameOf(const std::string& path);
