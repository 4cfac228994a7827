#include "base/FindFile.h"

#include <unistd.h>

#include "base/FatalError.h"

std::string findFile(const std::string& directory, const std::string& name, const std::string& ext1,
                     const std::string& ext2, const std::string& ext3, const std::string& ext4,
                     const std::string& ext5, const std::string& ext6, const std::string& ext7,
                     const std::string& ext8) {
    const std::string* extensions[8] = {&ext1, &ext2, &ext3, &ext4, &ext5, &ext6, &ext7, &ext8};
    int count = 8;
    while (count > 0 && extensions[count - 1]->empty()) --count;

    for (int i = 0; i < count; ++i) {
        std::string path = directory + "/" + name + "." + *extensions[i];
        if (access(path.c_str(), R_OK) == 0) return path;
    }

    // Built as plain text: a '%' in a name or an extension must reach the user as it stands.
    std::string message = "Could not find file: \"" + directory + "/" + name + ".{";
    for (int i = 0; i < count; ++i) message += *extensions[i] + " ";
    message += "}\"!";
    fatalError("%s", message.c_str());
}
