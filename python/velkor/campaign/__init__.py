"""Campaigns (docs/campaigns.md): an unchanged program against many
generated faults around a base scenario, on the fast clock; the failures
grouped by signature and each group reduced to the smallest scenario that
still shows it.

    from velkor import campaign
    c = campaign.load("examples/campaigns/homing_faults.toml")
    result = c.run(["./example_home_then_move"], report="campaign-report")
    for group in result.groups():
        print(group.signature, group.reduced_text)

The command ``velkor campaign FILE.toml -- PROGRAM ARGS...`` runs this
package (``python3 -m velkor.campaign``).
"""

from .campaign import Campaign, Result, find_tool, load
from .report import write_report
from .campaign_file import CampaignError

__all__ = ["Campaign", "CampaignError", "Result", "find_tool", "load", "write_report"]
