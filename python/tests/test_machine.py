"""The machine around the virtual module's axes from Python: switches, the
drive's alarm, homing and limits, seen through the card layer with their
readable bit names."""

import pytest

import velkor
from velkor import ErrorBits, Inputs, InterruptFactor


@pytest.fixture
def card(module):
    with velkor.Card(0, slot=3, interrupts=InterruptFactor.ALL) as card:
        yield card


def test_the_machine_reads_and_changes_by_field(module):
    default = module.machine(1)
    assert (default["home_from"], default["home_to"], default["encoder_ratio"]) == (-5000, -4000, 1.0)
    module.set_machine(1, home_from=-10, home_to=10, index_pitch=0)
    changed = module.machine(1)
    assert (changed["home_from"], changed["home_to"], changed["index_pitch"]) == (-10, 10, 0)
    assert changed["plus_limit"] == default["plus_limit"] and module.machine(2) == default
    with pytest.raises(TypeError, match="no field 'home'"):
        module.set_machine(1, home=3)
    with pytest.raises(ValueError):
        module.machine(5)


def test_switches_and_the_alarm_show_in_the_input_word(module, card):
    module.set_machine(1, home_from=-10, home_to=10, near_home_from=-20, near_home_to=20)
    module.set_drive_alarm(2, True)
    x, y = card.axis(1), card.axis(2)
    assert Inputs.HOME in x.inputs and Inputs.NEAR_HOME in x.inputs and Inputs.SERVO_ALARM not in x.inputs
    assert Inputs.SERVO_ALARM in y.inputs and y.input(5) == 1
    module.set_drive_alarm(2, False)
    assert Inputs.SERVO_ALARM not in y.inputs


def test_homing_ends_on_the_offset_with_its_factor(card):
    z = card.axis(3).profile(sv=100, v=20000, a=200000)
    card.HOME_LIMIT(z.mask, 20)
    z.home(speed=20000, mode="home_switch", direction=-1, creep=10, offset=250)
    z.wait_stopped(timeout=30)
    assert (z.position, z.error_code) == (250, 0)
    assert InterruptFactor.HOMING in card.wait_interrupt(InterruptFactor.HOMING, timeout=5).code


def test_a_move_into_a_limit_switch_stops_there_with_its_bit_and_factor(module, card):
    module.set_machine(1, plus_limit=1000)
    x = card.axis(1).profile(v=20000, a=0)
    x.position = 0
    x.move(5000).wait_stopped(timeout=10)
    assert x.position <= 1000 and ErrorBits.LIMIT_SWITCH_PLUS in x.error_code
    assert Inputs.PLUS_LIMIT in x.inputs
    assert InterruptFactor.LIMIT in card.wait_interrupt(InterruptFactor.LIMIT, timeout=5).code
    card.clear_stop()
    x.move(-500).wait_stopped(timeout=10)  # away from the switch
    assert x.error_code == 0 and Inputs.PLUS_LIMIT not in x.inputs


def test_a_switch_placed_relative_to_lp_after_a_preset(module, card):
    x = card.axis(1).profile(v=20000, a=0)
    x.position = -4000  # the LP scale moves, the axis stays at machine position 0
    where = module.axis(1)
    assert (where["lp"], where["machine"]) == (-4000, 0)
    module.set_machine(1, plus_limit=1000 - where["lp"] + where["machine"])  # the switch at LP 1000
    x.move(10000).wait_stopped(timeout=10)
    assert x.position == 1000 and ErrorBits.LIMIT_SWITCH_PLUS in x.error_code
    assert module.axis(1)["machine"] == 5000


def test_homing_by_named_values_and_the_module_defaults(module, card):
    z = card.axis(3).profile(sv=100, v=20000, a=200000)
    z.home(speed=20000, mode=0, offset=-30)  # home switch towards -, creep 10 %, both counters
    z.wait_stopped(timeout=30)
    assert (z.position, z.encoder, z.error_code) == (-30, -30, 0)
    z.move(500).wait_stopped(timeout=10)
    z.home(mode="home_switch", keep_encoder=True, offset=7)
    z.wait_stopped(timeout=30)
    assert z.position == 7 and z.encoder != 7 and z.error_code == 0
