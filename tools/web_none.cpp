// The velkor tool of a build without the bench page (the Windows build, or no
// cpp-httplib): the page's commands say so.
#include "web_command.h"

#include <cstdio>

namespace velkor_tool {

namespace {

int NoPage(const char* what)
{
    std::fprintf(stderr, "velkor %s: this velkor was built without the bench page\n", what);
    return 2;
}

} // namespace

int RunWeb(const std::string&, const WebOptions&)
{
    return NoPage("web");
}

int RunProgramWithWeb(const RunOptions&, const WebOptions&)
{
    return NoPage("run");
}

int RunDemoWithWeb(const DemoOptions&, const WebOptions&)
{
    return NoPage("demo");
}

} // namespace velkor_tool
