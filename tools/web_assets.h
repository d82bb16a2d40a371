// The bench page, bundled from web/ when the tool is built and compiled into
// it (the build generates the table), so the installed tool serves the page
// without network or Node.
#ifndef VELKOR_TOOLS_WEB_ASSETS_H
#define VELKOR_TOOLS_WEB_ASSETS_H

#include <cstddef>
#include <string>

namespace velkor_tool {

struct WebAsset {
    const char* path;        // "/" for the page
    const char* contentType;
    const unsigned char* data;
    std::size_t size;
};

// The asset served at path, or null.
const WebAsset* FindWebAsset(const std::string& path);

} // namespace velkor_tool

#endif
