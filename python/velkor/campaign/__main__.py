"""velkor campaign FILE.toml [OPTIONS] -- PROGRAM [ARGS...]: the command line
of campaigns (``velkor campaign`` hands its arguments here)."""

import argparse
import signal
import sys

from . import CampaignError, load
from .report import summary

USAGE_ERROR = 2
INTERRUPTED = 130


def arguments(argv):
    parser = argparse.ArgumentParser(
        prog="velkor campaign",
        description="Run a program against the faults a campaign file generates around its base scenario, on the "
                    "fast clock; group the failures and reduce each group to the smallest scenario that still "
                    "shows it (docs/campaigns.md).")
    parser.add_argument("file", metavar="FILE.toml", help="the campaign file")
    parser.add_argument("--runs", type=int, help="how many runs (default: the file's)")
    parser.add_argument("--seed", type=int, help="the seed (default: the file's)")
    parser.add_argument("--workers", type=int, help="local runs at once (default: the file's, else one per core)")
    parser.add_argument("--scheduler", metavar="tcp://HOST:PORT", help="send the runs to this Dask cluster")
    parser.add_argument("--report", metavar="FOLDER", default="campaign-report",
                        help="where the report goes (default: campaign-report)")
    parser.add_argument("--no-reduce", action="store_true", help="group the failures but do not reduce them")
    parser.add_argument("--no-pictures", action="store_true", help="no scope pictures in the HTML report")
    parser.add_argument("--keep-passing", action="store_true", help="keep the passing runs' files too")
    parser.add_argument("--quiet", action="store_true", help="no progress bar")
    if "--" not in argv and ("-h" in argv or "--help" in argv):
        parser.parse_args(["--help"])
    if "--" not in argv:
        parser.error("the program to run goes after --: velkor campaign FILE.toml -- PROGRAM [ARGS...]")
    cut = argv.index("--")
    options = parser.parse_args(argv[:cut])
    options.program = argv[cut + 1:]
    if not options.program:
        parser.error("no program after --")
    for name in ("runs", "workers"):
        value = getattr(options, name)
        if value is not None and not (value >= (1 if name == "runs" else 0)):
            parser.error("--%s: %d is out of range" % (name, value))
    return options


def _stop(number, frame):
    raise KeyboardInterrupt


def main(argv=None):
    options = arguments(sys.argv[1:] if argv is None else argv)
    # Ctrl-C, and SIGTERM too, stop the campaign and still write the report
    # (also when started with SIGINT ignored, as a shell starts background jobs).
    signal.signal(signal.SIGINT, _stop)
    signal.signal(signal.SIGTERM, _stop)
    try:
        campaign = load(options.file)
    except CampaignError as e:
        sys.stderr.write("velkor campaign: the campaign file is refused:\n%s\n" % e)
        return USAGE_ERROR
    from .report import write_report
    try:
        result = campaign.run(options.program, runs=options.runs, seed=options.seed, workers=options.workers,
                              scheduler=options.scheduler, reduce=not options.no_reduce,
                              progress=False if options.quiet else None,
                              keep_passing=options.keep_passing or None)
    except (OSError, RuntimeError) as e:
        sys.stderr.write("velkor campaign: %s\n" % e)
        return 1
    try:
        write_report(result, options.report, pictures=not options.no_pictures)
    except KeyboardInterrupt:
        result.interrupted = True
        write_report(result, options.report, pictures=False)
    sys.stdout.write(summary(result, options.report))
    sys.stdout.write("velkor campaign: report in %s (summary.txt, junit.xml, index.html)\n" % options.report)
    if result.interrupted:
        return INTERRUPTED
    return 1 if result.groups() else 0


if __name__ == "__main__":
    sys.exit(main())
