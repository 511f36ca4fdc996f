// The instance's own hold on the files the browser hands over. Browsers delete a stream's
// file once the stream is destroyed, and caches evict files later, while the renderer may
// open a delivered file until it is done with it. Each file is kept as a hard link (same
// volume) or else a copy under a folder the instance made afresh in the temporary folder, with
// the browser's file name as the last path segment: in the first subfolder that does not
// already hold that name, so files of different names share one, and a burst of files
// costs one file system call each rather than a folder each. Everything kept, and the
// folders, go with this object at the latest.
#pragma once

#include <map>
#include <set>
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
    // A kept file nobody needs any more: deleted now rather than with the folder. Paths
    // that were not kept here are left alone.
    void Drop(const std::string& keptFile);
    // Deletes every kept file and the folders; later files start a new folder.
    void Clear();

    const std::string& Folder() const { return folder_; }
    size_t Count() const { return files_.size(); }

private:
    struct Kept {
        size_t subfolder;
        std::string key;  // the file name, lower case: names are case-blind here
    };

    bool MakeFolder();
    std::string SubfolderPath(size_t index) const;
    // The index of a subfolder free of `key`, made on first use; npos when it cannot be made.
    size_t SubfolderFor(const std::string& key);

    std::string folder_;
    std::vector<std::set<std::string>> namesIn_;  // by subfolder: the keys kept there
    std::map<std::string, Kept> files_;           // by kept path
};

// The last segment of a local path ('\\' or '/'); "stream" when there is none.
std::string FileNameOf(const std::string& path);
