// velkor campaign: hands the campaign to the Python package that runs it
// (python/velkor/campaign, docs/campaigns.md): one implementation for the
// command and the Python API.
#ifndef VELKOR_TOOLS_CAMPAIGN_COMMAND_H
#define VELKOR_TOOLS_CAMPAIGN_COMMAND_H

#include <string>
#include <vector>

namespace velkor_tool {

// Runs `python3 -m velkor.campaign ARGUMENTS...` with the package of this
// installation (or of this build tree) first on its path and this tool named
// in VELKOR_TOOL; returns its exit code (2 when Python cannot be started).
int RunCampaign(const std::vector<std::string>& arguments);

} // namespace velkor_tool

#endif
