#pragma once

#include "Mesh.h"
#include "MeshBudget.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orb {

// The text formats of applets and the files they name; FORMAT.md describes them.

struct ParseError {
    int line = 0;
    std::string message;
    bool limit = false;  // the statement is fine, but it would take the file or applet past a bound
};

// A name that a file refers to, to be fetched as a resource.
struct FileReference {
    std::string name;
    int line = 0;
};

struct Background {
    Vec3 top;
    Vec3 bottom;
};

struct CameraDef {
    Vec3 eye{0, 0, 6};
    Vec3 target{0, 0, 0};
    float fov = 45;  // vertical, in degrees
};

struct LightDef {
    Vec3 towards;  // direction from the scene to the light
    Vec3 colour;
};

struct MeshDef {
    std::string name;
    std::shared_ptr<const Mesh> mesh;  // none when the data lives in file
    std::string file;
    int line = 0;
};

struct Motion {
    Vec3 spinAxis{0, 1, 0};
    float spinSpeed = 0;  // degrees per second
    float orbitRadius = 0;
    float orbitPeriod = 0;  // seconds per turn; 0 keeps the object still
    float orbitPhase = 0;   // degrees
    Vec3 orbitAxis{0, 1, 0};
    float bobHeight = 0;
    float bobPeriod = 0;
};

struct ObjectDef {
    std::string name;
    std::string mesh;    // empty: a pivot that only carries its children
    std::string parent;  // empty: placed in the world
    Vec3 colour{0.8f, 0.8f, 0.8f};
    bool smooth = true;
    bool glow = false;  // shown in its own colour, unlit
    float specular = 0.3f;
    float shininess = 24;
    Vec3 position;
    Vec3 rotateAxis{0, 1, 0};
    float rotateDegrees = 0;
    Vec3 scale{1, 1, 1};
    Motion motion;
    bool isLink = false;
    std::string linkTarget;
    std::string linkUrl;
    int line = 0;
};

// One parsed scene file: the applet itself or a file it includes.
struct SceneFile {
    std::optional<Background> background;
    std::optional<CameraDef> camera;
    std::optional<Vec3> ambient;
    std::map<std::string, CameraDef> views;  // cameras of named windows, keyed exactly by window name
    std::vector<LightDef> lights;
    std::vector<MeshDef> meshes;
    std::vector<ObjectDef> objects;
    std::vector<FileReference> includes;
    std::vector<ParseError> errors;

    // Every file this one names: includes, then mesh files.
    std::vector<FileReference> References() const;
};

struct MeshFile {
    Mesh mesh;
    std::vector<ParseError> errors;
};

// Malformed statements are skipped and reported with their line; the rest of the file still counts.
// Past kMaxReportedErrors of them a file is read no further (each costs an exception). Meshes
// are built only while the budget, shared by every file of one applet, has room for them; a mesh
// left out is an error with limit set. Without a budget the file has one of its own.
constexpr size_t kMaxReportedErrors = 1000;

// Reads one file a slice at a time, so that whoever loads a long file keeps its windows answering
// in between: a slice ends after kSliceLines lines, or sooner, after a statement that built a mesh.
class FileReader {
public:
    enum class Kind { Scene, Mesh };
    static constexpr size_t kSliceLines = 2000;

    FileReader(Kind kind, std::string text, MeshBudget& budget);
    ~FileReader();
    FileReader(FileReader&&) noexcept;
    FileReader& operator=(FileReader&&) noexcept;

    Kind GetKind() const { return kind_; }
    // Reads the next slice; false once the whole file has been read.
    bool ReadSlice();
    // The file as read so far, once; for a whole file, after ReadSlice has returned false.
    SceneFile TakeScene();
    MeshFile TakeMesh();

private:
    struct State;
    Kind kind_;
    std::unique_ptr<State> state_;
};

SceneFile ParseSceneText(const std::string& text, MeshBudget& budget);
MeshFile ParseMeshText(const std::string& text, MeshBudget& budget);
SceneFile ParseSceneText(const std::string& text);
MeshFile ParseMeshText(const std::string& text);

}  // namespace orb
