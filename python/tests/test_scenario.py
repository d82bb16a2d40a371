"""Scenario files from Python: velkor.Scenario on a bench, and the pytest
marker that applies a file to the fixtures' module and checks it after the
test."""

import pytest

import velkor
from conftest import ROOT

HOMING = ROOT / "examples" / "scenarios" / "homing.toml"

# The steps of examples/home_then_move.c, on the manual clock.
HOMING_TEST = '''
import pytest

@pytest.mark.velkor(scenario=%r)
def test_homing(virtual_card):
    x = virtual_card.axis(1).profile(sv=200, v=8000, a=40000)
    virtual_card.SERVO_ON(x.mask)
    x.home(speed=5000, mode="home_switch", direction=-1, creep=10, keep_encoder=False, offset=1000)
    x.wait_stopped(timeout=60)
    assert x.position == 1000
    x.move(2500).wait_stopped(timeout=30)
'''


def run(pytester, source):
    pytester.makepyfile(source)
    return pytester.runpytest("-p", "velkor.pytest_plugin", "-q")


def test_the_marker_applies_the_machine_and_passes_its_checks(pytester):
    run(pytester, HOMING_TEST % str(HOMING)).assert_outcomes(passed=1)


def test_a_failed_check_fails_the_test_with_what_was_measured(pytester):
    pytester.makefile(".toml", machine='[slot.3.axis.1.switches]\nhome = [-300, -200]\n'
                                       '[[check]]\nname = "x at 1500"\nlp = { axis = 1, value = 1500 }\n')
    result = run(pytester, '''
import pytest

@pytest.mark.velkor(scenario="machine.toml")
def test_move(virtual_card):
    virtual_card.axis(1).profile(v=20000, a=100000).move(1000).wait_stopped(timeout=5)
''')
    result.assert_outcomes(passed=1, errors=1)
    result.stdout.fnmatch_lines(["*FAIL  x at 1500: LP 1000 (expected LP 1500, axis 1, slot 3)*"])


def test_a_bench_runs_events_on_the_manual_clock_and_reports():
    scenario = velkor.Scenario(text='''
[slot.3]
[[event]]
name = "alarm"
when = { axis = 1, crosses = 3000 }
do = [ { drive_alarm = 1 } ]
[[check]]
errors = { axis = 1, required = "servo_alarm" }
[[check]]
exit_code = 4
''')
    with velkor.VirtualModule(slot=3, clock="manual") as module, scenario:
        scenario.apply(module)
        with velkor.Card(0, slot=3, module=module) as card:
            x = card.axis(1).profile(v=20000, a=100000)
            card.SERVO_ON(x.mask)
            x.move(10000).wait_stopped(timeout=5)
            assert 3000 <= x.position < 3100
            results = scenario.report(exit_code=3)
    assert [passed for passed, _ in results] == [True, False]
    assert "exit code 3 (expected exit code 4)" in results[1][1]
    with pytest.raises(AssertionError, match="FAIL  exit_code 2"):
        scenario.check()


@pytest.mark.parametrize("text, message", [
    ("[slot.3]\nclok = 'fast'\n", "scenario:2:1: slot.3.clok: unknown key; did you mean 'clock'?"),
    ("[slot.3]\n[[check]]\nlp = { axis = 9, value = 0 }\n", "scenario:3:15: check[0].lp.axis: 9 is out of range 1 to 4"),
])
def test_a_bad_file_says_where_and_what(text, message):
    with pytest.raises(velkor.ModuleError) as caught:
        velkor.Scenario(text=text)
    assert str(caught.value) == message
