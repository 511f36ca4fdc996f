#include "SceneText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>

#include "base/AsciiCase.h"

namespace orb {

std::vector<FileReference> SceneFile::References() const
{
    std::vector<FileReference> refs = includes;
    for (const MeshDef& m : meshes)
        if (!m.file.empty())
            refs.push_back({m.file, m.line});
    return refs;
}

namespace {

constexpr size_t kMaxObjects = 1024;
constexpr size_t kMaxMeshes = 256;
constexpr size_t kMaxLights = 8;
constexpr size_t kMaxViews = 64;  // as many as the plug-in has window records
constexpr size_t kMaxWindowName = 256;  // the plug-in keeps window names to 255 characters
constexpr float kMaxMagnitude = 1e6f;

struct Token {
    std::string text;
    bool quoted = false;
};

struct SyntaxError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A statement that is well formed but would take the file or the applet past one of its bounds.
struct LimitError : SyntaxError {
    using SyntaxError::SyntaxError;
};

std::string BudgetMessage(const std::string& what)
{
    return what + " left out: the applet's meshes may hold " +
           std::to_string(MeshBudget::kMaxTriangles) + " triangles and " + std::to_string(MeshBudget::kMaxVertices) +
           " vertices in all";
}

// Records an error; false once the file has more than it may report, and the reading stops.
bool Report(std::vector<ParseError>& errors, ParseError error)
{
    if (errors.size() < kMaxReportedErrors) {
        errors.push_back(std::move(error));
        return true;
    }
    if (errors.size() == kMaxReportedErrors)
        errors.push_back({error.line, "more than " + std::to_string(kMaxReportedErrors) +
                                          " errors: the rest of the file is left out", true});
    return false;
}

std::vector<Token> Tokenize(const std::string& line)
{
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < line.size()) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (line.compare(i, 2, "//") == 0) {
            break;
        } else if (c == '"') {
            size_t close = line.find('"', i + 1);
            if (close == std::string::npos)
                throw SyntaxError("unterminated quoted name");
            tokens.push_back({line.substr(i + 1, close - i - 1), true});
            i = close + 1;
        } else {
            size_t start = i;
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])) && line[i] != '"')
                ++i;
            tokens.push_back({line.substr(start, i - start), false});
        }
    }
    return tokens;
}

// Reads the operands of one statement in order; any mismatch is a SyntaxError for that statement.
class Statement {
public:
    explicit Statement(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    bool Empty() const { return tokens_.empty(); }
    const std::string& Keyword() const { return tokens_[0].text; }
    bool AtEnd() const { return next_ >= tokens_.size(); }

    bool TryWord(const char* word)
    {
        if (AtEnd() || tokens_[next_].quoted || !EqualsIgnoringCase(tokens_[next_].text, word))
            return false;
        ++next_;
        return true;
    }

    float Number(const char* what)
    {
        const std::string& text = Take(what).text;
        // from_chars, unlike strtod, reads no locale and keeps a long file quick to read.
        const char* begin = text.data();
        const char* end = begin + text.size();
        if (text.size() > 1 && text[0] == '+' && text[1] != '-')
            ++begin;
        double value = 0;
        auto [stop, error] = std::from_chars(begin, end, value);
        if (text.empty() || stop != end || error != std::errc() || !std::isfinite(value))
            throw SyntaxError("expected " + std::string(what) + ", found '" + text + "'");
        if (std::fabs(value) > kMaxMagnitude)
            throw SyntaxError(std::string(what) + " out of range: " + text);
        return static_cast<float>(value);
    }

    float Positive(const char* what)
    {
        float value = Number(what);
        if (!(value > 0))
            throw SyntaxError(std::string(what) + " must be above zero");
        return value;
    }

    int Integer(const char* what, int low, int high)
    {
        const std::string& text = Take(what).text;
        char* end = nullptr;
        long value = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end != 0 || value < low || value > high)
            throw SyntaxError(std::string(what) + " must be a whole number from " + std::to_string(low) +
                              " to " + std::to_string(high) + ", found '" + text + "'");
        return static_cast<int>(value);
    }

    Vec3 Vector(const char* what)
    {
        float x = Number(what), y = Number(what), z = Number(what);
        return {x, y, z};
    }

    Vec3 Axis()
    {
        Vec3 axis = Vector("axis");
        if (Length(axis) == 0)
            throw SyntaxError("axis must not be zero");
        return axis;
    }

    Vec3 Colour()
    {
        const std::string& text = Take("colour").text;
        if (text.size() != 7 || text[0] != '#')
            throw SyntaxError("expected colour #rrggbb, found '" + text + "'");
        unsigned value = 0;
        for (size_t i = 1; i < 7; ++i) {
            int digit = std::isdigit(static_cast<unsigned char>(text[i])) ? text[i] - '0'
                        : std::isxdigit(static_cast<unsigned char>(text[i]))
                            ? AsciiLower(text[i]) - 'a' + 10
                            : -1;
            if (digit < 0)
                throw SyntaxError("expected colour #rrggbb, found '" + text + "'");
            value = value * 16 + static_cast<unsigned>(digit);
        }
        return {((value >> 16) & 255) / 255.0f, ((value >> 8) & 255) / 255.0f, (value & 255) / 255.0f};
    }

    std::string Name(const char* what)
    {
        const Token& token = Take(what);
        if (token.text.empty())
            throw SyntaxError(std::string(what) + " must not be empty");
        return token.text;
    }

    std::string Quoted(const char* what)
    {
        const Token& token = Take(what);
        if (!token.quoted)
            throw SyntaxError(std::string(what) + " must be in double quotes");
        return token.text;
    }

    void Finish()
    {
        if (!AtEnd())
            throw SyntaxError("unexpected '" + tokens_[next_].text + "' after " + Keyword());
    }

private:
    const Token& Take(const char* what)
    {
        if (AtEnd())
            throw SyntaxError("missing " + std::string(what) + " in " + Keyword());
        return tokens_[next_++];
    }

    std::vector<Token> tokens_;
    size_t next_ = 1;
};

// What a handler tells the cursor after a statement: go on, end the slice here (the statement was
// costly: it built a mesh), or stop reading the file.
enum class Next { Go, Pause, Stop };

// Splits text into statements and hands each to the handler with its line number, a slice at a
// time; a SyntaxError from the handler becomes an error for that line.
class StatementCursor {
public:
    explicit StatementCursor(std::string text) : text_(std::move(text)) {}

    // Reads at most maxLines lines; false once the text is done.
    bool Run(std::vector<ParseError>& errors, size_t maxLines, const std::function<Next(Statement&, int)>& handle)
    {
        for (size_t lines = 0; lines < maxLines && pos_ < text_.size(); ++lines) {
            size_t eol = text_.find('\n', pos_);
            if (eol == std::string::npos)
                eol = text_.size();
            std::string raw = text_.substr(pos_, eol - pos_);
            pos_ = eol + 1;
            ++line_;
            Next next = Next::Go;
            try {
                Statement st(Tokenize(raw));
                if (st.Empty())
                    continue;
                next = handle(st, line_);
            } catch (const LimitError& e) {
                if (!Report(errors, {line_, e.what(), true}))
                    next = Next::Stop;
            } catch (const SyntaxError& e) {
                if (!Report(errors, {line_, e.what(), false}))
                    next = Next::Stop;
            }
            if (next == Next::Stop)
                pos_ = text_.size();
            if (next != Next::Go)
                break;
        }
        return pos_ < text_.size();
    }

private:
    std::string text_;
    size_t pos_ = 0;
    int line_ = 0;
};

void ReadFaceData(Statement& st, Mesh& mesh)
{
    if (EqualsIgnoringCase(st.Keyword(), "vertex")) {
        if (static_cast<int>(mesh.positions.size()) >= Mesh::kMaxVertices)
            throw LimitError("too many vertices");
        mesh.positions.push_back(st.Vector("coordinate"));
        st.Finish();
        return;
    }
    std::vector<int> corners;
    while (!st.AtEnd()) {
        int index = st.Integer("vertex number", 0, Mesh::kMaxVertices - 1);
        if (index >= static_cast<int>(mesh.positions.size()))
            throw SyntaxError("face refers to vertex " + std::to_string(index) + " but only " +
                              std::to_string(mesh.positions.size()) + " are defined");
        corners.push_back(index);
    }
    if (corners.size() < 3)
        throw SyntaxError("a face needs at least three vertices");
    if (mesh.triangles.size() + corners.size() - 2 > static_cast<size_t>(Mesh::kMaxTriangles))
        throw LimitError("too many faces");
    for (size_t i = 1; i + 1 < corners.size(); ++i)
        mesh.triangles.push_back({corners[0], corners[i], corners[i + 1]});
}

// "X Y Z [target X Y Z] [fov DEG]", the rest of a camera statement or of a view's camera.
CameraDef CameraOperands(Statement& st)
{
    CameraDef cam;
    cam.eye = st.Vector("eye coordinate");
    if (st.TryWord("target"))
        cam.target = st.Vector("target coordinate");
    if (st.TryWord("fov")) {
        cam.fov = st.Number("field of view");
        if (cam.fov < 5 || cam.fov > 150)
            throw SyntaxError("field of view must lie between 5 and 150 degrees");
    }
    st.Finish();
    if (Length(cam.eye - cam.target) == 0)
        throw SyntaxError("camera eye and target must differ");
    return cam;
}

bool IsFaceDataKeyword(const std::string& keyword)
{
    return EqualsIgnoringCase(keyword, "vertex") || EqualsIgnoringCase(keyword, "face");
}

// A header statement "KEYWORD 1" must come first, so that an error page delivered in place of a
// resource is rejected as a whole instead of producing an error per line.
bool CheckHeader(Statement& st, int line, const char* keyword, std::vector<ParseError>& errors)
{
    if (!EqualsIgnoringCase(st.Keyword(), keyword)) {
        errors.push_back({line, std::string("not an Orbolanth file: expected '") + keyword + " 1'"});
        return false;
    }
    try {
        if (st.Integer("version", 0, 1000000) != 1) {
            errors.push_back({line, "unsupported version"});
            return false;
        }
        st.Finish();
    } catch (const SyntaxError& e) {
        errors.push_back({line, e.what()});
        return false;
    }
    return true;
}

class SceneParser {
public:
    explicit SceneParser(MeshBudget& budget) : budget_(budget) {}

    std::vector<ParseError>& Errors() { return file_.errors; }

    Next Handle(Statement& st, int line)
    {
        if (!seenHeader_) {
            seenHeader_ = true;
            return CheckHeader(st, line, "orbolanth-scene", file_.errors) ? Next::Go : Next::Stop;
        }
        const std::string& kw = st.Keyword();
        if (EqualsIgnoringCase(kw, "end")) {
            if (!object_ && !mesh_)
                throw SyntaxError("'end' without an open object or mesh");
            st.Finish();
            bool wasMesh = mesh_ != nullptr;
            CloseBlock(false);
            return wasMesh ? Next::Pause : Next::Go;
        }
        if (object_) {
            ObjectProperty(st, *object_);
        } else if (mesh_) {
            if (!IsFaceDataKeyword(kw))
                throw SyntaxError("unknown mesh statement '" + kw + "'");
            ReadFaceData(st, *mesh_);
        } else {
            size_t meshes = file_.meshes.size();
            TopLevel(st, line);
            if (file_.meshes.size() != meshes && file_.meshes.back().mesh)
                return Next::Pause;
        }
        return Next::Go;
    }

    SceneFile Finish()
    {
        if (!seenHeader_ && file_.errors.empty())
            file_.errors.push_back({1, "not an Orbolanth file: expected 'orbolanth-scene 1'"});
        CloseBlock(true);
        return std::move(file_);
    }

private:
    void TopLevel(Statement& st, int line)
    {
        const std::string& kw = st.Keyword();
        if (EqualsIgnoringCase(kw, "background")) {
            Background bg;
            bg.top = st.Colour();
            bg.bottom = st.AtEnd() ? bg.top : st.Colour();
            st.Finish();
            file_.background = bg;
        } else if (EqualsIgnoringCase(kw, "camera")) {
            file_.camera = CameraOperands(st);
        } else if (EqualsIgnoringCase(kw, "view")) {
            std::string window = st.Quoted("window name");
            if (window.empty() || window.size() >= kMaxWindowName)
                throw SyntaxError("window name must have 1 to " + std::to_string(kMaxWindowName - 1) +
                                  " characters");
            if (!st.TryWord("camera"))
                throw SyntaxError("expected camera after the window name");
            CameraDef cam = CameraOperands(st);
            if (file_.views.size() >= kMaxViews && !file_.views.count(window))
                throw LimitError("too many views");
            if (!file_.views.emplace(window, cam).second)
                throw SyntaxError("window \"" + window + "\" already has a view");
        } else if (EqualsIgnoringCase(kw, "ambient")) {
            Vec3 c = st.Colour();
            st.Finish();
            file_.ambient = c;
        } else if (EqualsIgnoringCase(kw, "light")) {
            LightDef light;
            light.towards = st.Axis();
            light.colour = st.AtEnd() ? Vec3(1, 1, 1) : st.Colour();
            st.Finish();
            if (file_.lights.size() >= kMaxLights)
                throw LimitError("too many lights");
            file_.lights.push_back(light);
        } else if (EqualsIgnoringCase(kw, "include")) {
            std::string name = st.Quoted("file name");
            st.Finish();
            if (name.empty())
                throw SyntaxError("file name must not be empty");
            file_.includes.push_back({name, line});
        } else if (EqualsIgnoringCase(kw, "mesh")) {
            MeshStatement(st, line);
        } else if (EqualsIgnoringCase(kw, "object")) {
            if (file_.objects.size() >= kMaxObjects)
                throw LimitError("too many objects");
            ObjectDef obj;
            obj.name = st.Name("object name");
            if (!st.AtEnd())
                obj.mesh = st.Name("mesh name");
            st.Finish();
            obj.line = line;
            object_ = std::make_unique<ObjectDef>(std::move(obj));
        } else {
            throw SyntaxError("unknown statement '" + kw + "'");
        }
    }

    void MeshStatement(Statement& st, int line)
    {
        if (file_.meshes.size() >= kMaxMeshes)
            throw LimitError("too many meshes");
        MeshDef def;
        def.name = st.Name("mesh name");
        def.line = line;
        for (const MeshDef& m : file_.meshes)
            if (m.name == def.name)
                throw SyntaxError("mesh '" + def.name + "' is already defined");
        if (st.AtEnd()) {
            // Inline vertex and face lists follow until "end".
            meshDef_ = std::move(def);
            mesh_ = std::make_unique<Mesh>();
            return;
        }
        // A shape's size is known from its statement: it is built only once it fits the budget.
        Mesh::Size size{0, 0};
        std::function<Mesh()> build;
        if (st.TryWord("box")) {
            Vec3 extent;
            extent.x = st.Positive("width");
            extent.y = st.AtEnd() ? extent.x : st.Positive("height");
            extent.z = st.AtEnd() ? extent.x : st.Positive("depth");
            size = Mesh::BoxSize();
            build = [extent] { return Mesh::Box(extent); };
        } else if (st.TryWord("sphere")) {
            float radius = st.Positive("radius");
            int detail = st.TryWord("detail") ? st.Integer("detail", 0, 5) : 2;
            size = Mesh::SphereSize(detail);
            build = [radius, detail] { return Mesh::Sphere(radius, detail); };
        } else if (st.TryWord("cylinder")) {
            float radius = st.Positive("radius"), height = st.Positive("height");
            int segments = st.TryWord("segments") ? st.Integer("segments", 3, 256) : 24;
            size = Mesh::CylinderSize(segments);
            build = [radius, height, segments] { return Mesh::Cylinder(radius, height, segments); };
        } else if (st.TryWord("torus")) {
            float major = st.Positive("radius"), minor = st.Positive("tube radius");
            int segments = 32, sides = 12;
            if (st.TryWord("segments")) {
                segments = st.Integer("segments", 3, 256);
                sides = st.Integer("sides", 3, 128);
            }
            size = Mesh::TorusSize(segments, sides);
            build = [major, minor, segments, sides] { return Mesh::Torus(major, minor, segments, sides); };
        } else if (st.TryWord("file")) {
            def.file = st.Quoted("file name");
            if (def.file.empty())
                throw SyntaxError("file name must not be empty");
        } else {
            throw SyntaxError("unknown mesh shape in mesh '" + def.name + "'");
        }
        st.Finish();
        if (build) {
            if (!budget_.Take(size))
                throw LimitError(BudgetMessage("mesh '" + def.name + "'"));
            def.mesh = std::make_shared<Mesh>(build());
        }
        file_.meshes.push_back(std::move(def));
    }

    void ObjectProperty(Statement& st, ObjectDef& obj)
    {
        const std::string& kw = st.Keyword();
        Motion& mo = obj.motion;
        if (EqualsIgnoringCase(kw, "colour") || EqualsIgnoringCase(kw, "color")) {
            obj.colour = st.Colour();
        } else if (EqualsIgnoringCase(kw, "shading")) {
            obj.glow = false;
            if (st.TryWord("flat"))
                obj.smooth = false;
            else if (st.TryWord("smooth"))
                obj.smooth = true;
            else if (st.TryWord("glow"))
                obj.glow = true;
            else
                throw SyntaxError("shading must be flat, smooth or glow");
        } else if (EqualsIgnoringCase(kw, "specular")) {
            obj.specular = st.Number("specular strength");
            if (obj.specular < 0 || obj.specular > 1)
                throw SyntaxError("specular strength must lie between 0 and 1");
            if (st.TryWord("shininess")) {
                obj.shininess = st.Number("shininess");
                if (obj.shininess < 1 || obj.shininess > 256)
                    throw SyntaxError("shininess must lie between 1 and 256");
            }
        } else if (EqualsIgnoringCase(kw, "position")) {
            obj.position = st.Vector("coordinate");
        } else if (EqualsIgnoringCase(kw, "rotate")) {
            obj.rotateAxis = st.Axis();
            obj.rotateDegrees = st.Number("angle");
        } else if (EqualsIgnoringCase(kw, "scale")) {
            float sx = st.Positive("scale");
            if (st.AtEnd()) {
                obj.scale = {sx, sx, sx};
            } else {
                float sy = st.Positive("scale"), sz = st.Positive("scale");
                obj.scale = {sx, sy, sz};
            }
        } else if (EqualsIgnoringCase(kw, "spin")) {
            mo.spinAxis = st.Axis();
            mo.spinSpeed = st.Number("speed");
        } else if (EqualsIgnoringCase(kw, "orbit")) {
            mo.orbitRadius = st.Positive("radius");
            mo.orbitPeriod = st.Number("period");
            if (st.TryWord("axis"))
                mo.orbitAxis = st.Axis();
            if (st.TryWord("phase"))
                mo.orbitPhase = st.Number("phase");
        } else if (EqualsIgnoringCase(kw, "bob")) {
            mo.bobHeight = st.Number("height");
            mo.bobPeriod = st.Number("period");
        } else if (EqualsIgnoringCase(kw, "parent")) {
            obj.parent = st.Name("parent name");
        } else if (EqualsIgnoringCase(kw, "link")) {
            std::string target = st.Quoted("target window");
            std::string url = st.Quoted("address");
            if (url.empty())
                throw SyntaxError("link address must not be empty");
            obj.isLink = true;
            obj.linkTarget = target;
            obj.linkUrl = url;
        } else {
            throw SyntaxError("unknown object property '" + kw + "'");
        }
        st.Finish();
    }

    // Ends the open object or mesh block; at the end of the file an unclosed block still counts,
    // with an error at the line that opened it.
    void CloseBlock(bool atEndOfFile)
    {
        if (object_) {
            if (atEndOfFile)
                file_.errors.push_back({object_->line, "object '" + object_->name + "' has no 'end'"});
            file_.objects.push_back(std::move(*object_));
            object_.reset();
        }
        if (mesh_) {
            if (atEndOfFile)
                file_.errors.push_back({meshDef_.line, "mesh '" + meshDef_.name + "' has no 'end'"});
            if (mesh_->triangles.empty()) {
                file_.errors.push_back({meshDef_.line, "mesh '" + meshDef_.name + "' has no faces"});
            } else if (!budget_.Take({mesh_->positions.size(), mesh_->triangles.size()})) {
                Report(file_.errors, {meshDef_.line, BudgetMessage("mesh '" + meshDef_.name + "'"), true});
            } else {
                mesh_->ComputeNormals();
                meshDef_.mesh = std::move(mesh_);
                file_.meshes.push_back(std::move(meshDef_));
            }
            mesh_.reset();
        }
    }

    MeshBudget& budget_;
    SceneFile file_;
    bool seenHeader_ = false;
    std::unique_ptr<ObjectDef> object_;
    std::unique_ptr<Mesh> mesh_;
    MeshDef meshDef_;
};

class MeshParser {
public:
    explicit MeshParser(MeshBudget& budget) : budget_(budget) {}

    std::vector<ParseError>& Errors() { return result_.errors; }

    Next Handle(Statement& st, int line)
    {
        if (!seenHeader_) {
            seenHeader_ = true;
            return CheckHeader(st, line, "orbolanth-mesh", result_.errors) ? Next::Go : Next::Stop;
        }
        if (!IsFaceDataKeyword(st.Keyword()))
            throw SyntaxError("unknown mesh statement '" + st.Keyword() + "'");
        ReadFaceData(st, result_.mesh);
        return Next::Go;
    }

    MeshFile Finish()
    {
        if (!seenHeader_)
            result_.errors.push_back({1, "not an Orbolanth file: expected 'orbolanth-mesh 1'"});
        else if (result_.mesh.triangles.empty() && result_.errors.empty())
            result_.errors.push_back({1, "the mesh has no faces"});
        if (!result_.mesh.triangles.empty() &&
            !budget_.Take({result_.mesh.positions.size(), result_.mesh.triangles.size()})) {
            Report(result_.errors, {1, BudgetMessage("the mesh"), true});
            result_.mesh = Mesh();
        }
        result_.mesh.ComputeNormals();
        return std::move(result_);
    }

private:
    MeshBudget& budget_;
    MeshFile result_;
    bool seenHeader_ = false;
};

}  // namespace

struct FileReader::State {
    State(std::string text, MeshBudget& budget) : cursor(std::move(text)), scene(budget), mesh(budget) {}

    StatementCursor cursor;
    SceneParser scene;
    MeshParser mesh;
};

FileReader::FileReader(Kind kind, std::string text, MeshBudget& budget)
    : kind_(kind), state_(std::make_unique<State>(std::move(text), budget))
{
}

FileReader::~FileReader() = default;
FileReader::FileReader(FileReader&&) noexcept = default;
FileReader& FileReader::operator=(FileReader&&) noexcept = default;

bool FileReader::ReadSlice()
{
    State& s = *state_;
    if (kind_ == Kind::Scene)
        return s.cursor.Run(s.scene.Errors(), kSliceLines, [&s](Statement& st, int line) { return s.scene.Handle(st, line); });
    return s.cursor.Run(s.mesh.Errors(), kSliceLines, [&s](Statement& st, int line) { return s.mesh.Handle(st, line); });
}

SceneFile FileReader::TakeScene()
{
    return state_->scene.Finish();
}

MeshFile FileReader::TakeMesh()
{
    return state_->mesh.Finish();
}

SceneFile ParseSceneText(const std::string& text, MeshBudget& budget)
{
    FileReader reader(FileReader::Kind::Scene, text, budget);
    while (reader.ReadSlice()) {
    }
    return reader.TakeScene();
}

SceneFile ParseSceneText(const std::string& text)
{
    MeshBudget budget;
    return ParseSceneText(text, budget);
}

MeshFile ParseMeshText(const std::string& text, MeshBudget& budget)
{
    FileReader reader(FileReader::Kind::Mesh, text, budget);
    while (reader.ReadSlice()) {
    }
    return reader.TakeMesh();
}

MeshFile ParseMeshText(const std::string& text)
{
    MeshBudget budget;
    return ParseMeshText(text, budget);
}

}  // namespace orb
