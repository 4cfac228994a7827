#include "base/FindFile.h"

#include "base/FatalError.h"
#include "base/RegularFile.h"

bool nameStaysInFolder(const std::string& name) {
    if (name.find('\0') != std::string::npos) return false;
    // An absolute path, here or on Windows ("/x", "\\x", "C:x").
    if (!name.empty() && (name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':'))) return false;
    size_t start = 0;
    for (;;) {
        const size_t end = name.find_first_of("/\\", start);
        if (name.compare(start, end == std::string::npos ? std::string::npos : end - start, "..") == 0) return false;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

std::string printableName(const std::string& name) {
    std::string shown;
    for (char c : name) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
    return shown;
}

std::string findFile(const std::string& directory, const std::string& name, const std::string& ext1,
                     const std::string& ext2, const std::string& ext3, const std::string& ext4,
                     const std::string& ext5, const std::string& ext6, const std::string& ext7,
                     const std::string& ext8) {
    const std::string* extensions[8] = {&ext1, &ext2, &ext3, &ext4, &ext5, &ext6, &ext7, &ext8};
    if (!nameStaysInFolder(name))
        fatalError("The name '%s' leads out of the folder %s/: files are named by their path inside it.",
                   printableName(name).c_str(), directory.c_str());
    int count = 8;
    while (count > 0 && extensions[count - 1]->empty()) --count;

    for (int i = 0; i < count; ++i) {
        std::string path = directory + "/" + name + "." + *extensions[i];
        if (isReadableRegularFile(path.c_str())) return path;
    }

    // Built as plain text: a '%' in a name or an extension must reach the user as it stands.
    std::string message = "Could not find file: \"" + directory + "/" + name + ".{";
    for (int i = 0; i < count; ++i) message += *extensions[i] + " ";
    message += "}\"!";
    fatalError("%s", message.c_str());
}
