// The table of a tool built without the bench page (no Node at build time).
#include "web_assets.h"

namespace velkor_tool {

const WebAsset* FindWebAsset(const std::string&)
{
    return nullptr;
}

} // namespace velkor_tool
