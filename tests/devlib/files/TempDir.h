// A fresh temporary directory, removed with everything in it when the object goes.
#ifndef VYK_TEST_TEMP_DIR_H
#define VYK_TEST_TEMP_DIR_H

#include <string>

namespace vyktest {

class TempDir {
public:
    TempDir();  // creates a new directory under the system's temporary folder
    ~TempDir(); // removes it recursively
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory's path.
    const std::string& path() const { return path_; }
    // path() + "/" + name.
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_; // absolute path of the directory
};

} // namespace vyktest

#endif // VYK_TEST_TEMP_DIR_H
