"""The pytest plugin as a test engineer uses it: test files run by an inner
pytest with the plugin loaded."""

import pytest

FIVE_LINES = '''
def test_move(virtual_card):
    x = virtual_card.axis(1).profile(v=20000, a=100000)
    x.move(5000).wait_stopped(timeout=5)
    assert x.position == 5000
'''


def run(pytester, source, *args):
    pytester.makepyfile(source)
    return pytester.runpytest("-p", "velkor.pytest_plugin", "-q", *args)


def test_a_five_line_test_of_a_move_passes(pytester):
    run(pytester, FIVE_LINES).assert_outcomes(passed=1)


def test_the_marker_sets_slot_card_clock_and_interrupts(pytester):
    result = run(pytester, '''
import pytest
import velkor

@pytest.mark.velkor(slot=6, card=4, time_scale=100, interrupts=velkor.InterruptFactor.DRIVE_END)
def test_options(virtual_module, virtual_card):
    assert (virtual_module.slot, virtual_module.time_scale) == (6, 100.0)
    assert (virtual_card.number, virtual_card.slot, virtual_card.module) == (4, 6, virtual_module)
    virtual_card.axis(2).profile(v=50000, a=0).move(-100)
    assert virtual_card.wait_interrupt(timeout=5).factor == velkor.InterruptFactor.DRIVE_END

def test_defaults(virtual_card):
    assert (virtual_card.number, virtual_card.slot, virtual_card.interrupts_enabled) == (0, 3, False)
''')
    result.assert_outcomes(passed=2)


def test_the_fixtures_on_the_fast_clock(pytester):
    # A move of 20 simulated seconds: the card's wait (10 real seconds at
    # most) sees it end because the clock runs ahead while it polls.
    result = run(pytester, '''
import pytest

@pytest.mark.velkor(clock="fast", time_scale=1)
def test_long_move(virtual_module, virtual_card):
    assert virtual_module.clock == "fast"
    x = virtual_card.axis(1).profile(v=1000, a=100000)
    x.move(20000).wait_stopped(timeout=10)
    assert x.position == 20000 and virtual_module.now >= 20.0
''')
    result.assert_outcomes(passed=1)


def test_a_failing_sequence_fails_its_test_alone_and_is_tidied_up(pytester):
    result = run(pytester, '''
def test_fails_while_moving(virtual_card):
    virtual_card.enable_interrupts()
    virtual_card.axis(1).profile(v=1000).jog()
    with virtual_card.record_program(1):
        assert virtual_card.axis(1).position == 12345

def test_next_one_starts_clean(virtual_card, virtual_module):
    assert virtual_card.axis(1).position == 0 and virtual_card.stopped()
    virtual_card.enable_interrupts()
''')
    result.assert_outcomes(passed=1, failed=1)
    assert "error" not in result.parseoutcomes()


def test_a_module_per_test_also_without_a_card(pytester):
    result = run(pytester, '''
import velkor

def test_two_cards_on_one_module(virtual_module):
    with velkor.Card(1, slot=virtual_module.slot) as a, velkor.Card(2, slot=virtual_module.slot) as b:
        a.axis(1).position = 10
        assert b.axis(1).position == 10
    assert virtual_module.sequence_gaps == 0
''')
    result.assert_outcomes(passed=1)


def test_an_unknown_marker_keyword_is_refused(pytester):
    result = run(pytester, '''
import pytest

@pytest.mark.velkor(speed=3)
def test_it(virtual_card):
    pass
''')
    assert result.ret != 0
    result.stdout.fnmatch_lines(["*only the keywords*speed*"])
