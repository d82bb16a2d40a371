"""The virtual module from Python: options and refusals, the manual clock
(alone and under a card's waits), inputs, latch, remote I/O and interrupts
seen through the library, stores, counters and the commands the module could
not use, the trail, the log and the scope."""

import ctypes

import pytest

import velkor
from velkor import Axes, InterruptFactor
from velkor.sim import VirtualModule, load_library, numpy_or_none


@pytest.fixture
def manual():
    with VirtualModule(3, clock="manual", keep_trail=True, keep_log=True) as module:
        yield module


@pytest.fixture
def card(manual):
    with velkor.Card(0, slot=3, module=manual) as card:
        yield card


@pytest.mark.parametrize("arguments, message", [
    (dict(slot=0), "slot 1 to 7"),
    (dict(slot=8), "slot 1 to 7"),
    (dict(clock="as_fast_as_possible"), "the clock is one of"),
    (dict(clock="real_time", sprint_scale=100), "sprint scale is for the fast clock"),
    (dict(clock="fast", time_scale=50, sprint_scale=20), "at least the time scale 50"),
    (dict(time_scale=0), "above 0"),
    (dict(clock="manual", id="X"), "refused its options"),
    (dict(clock="manual", step=0), "refused its options"),
])
def test_options_out_of_range_are_refused(arguments, message):
    arguments.setdefault("slot", 3)
    with pytest.raises(velkor.ModuleError, match=message):
        VirtualModule(**arguments)


def test_the_fast_clock_runs_ahead_while_the_card_polls():
    # 20 simulated seconds of motion; on the real-time clock the wait would
    # give up after its 10 real seconds.
    with VirtualModule(3, clock="fast", sprint_scale=1000) as module, velkor.Card(0, slot=3, module=module) as card:
        x = card.axis(1).profile(v=1000, a=100000)
        x.move(20000).wait_stopped(timeout=10)
        assert x.position == 20000
        assert module.now >= 20.0


def test_an_unplugged_module_refuses_calls_and_frees_its_slot():
    module = VirtualModule(3, clock="manual")
    module.unplug()
    module.unplug()
    with pytest.raises(velkor.ModuleError, match="unplugged"):
        module.advance(0.1)
    with pytest.raises(velkor.RegistrationError):
        velkor.Card(0, slot=3).register()
    with pytest.raises(AttributeError):
        module.NoSuchCall


def test_the_manual_clock_moves_only_when_advanced(manual, card):
    x = card.axis(1).profile(sv=100, v=10000, a=100000)
    x.move(3000)
    manual.advance(0.05)
    first = x.position
    assert 0 < first < 3000 and manual.axis(1)["driving"]
    assert x.position == first  # no time passes while the host polls
    assert manual.advance_until_stopped(Axes.X, limit=10)
    assert (x.position, manual.axis(1)["lp"]) == (3000, 3000) and 0.3 < manual.now < 1


def test_card_waits_advance_the_manual_clock(manual, card):
    card.enable_interrupts(InterruptFactor.DRIVE_END)
    x = card.axis(1).profile(v=1000, a=0)
    x.move(20000).wait_stopped(timeout=30)  # 20 simulated seconds in a moment
    assert x.position == 20000 and manual.now >= 20
    assert card.wait_interrupt(timeout=1).factor == InterruptFactor.DRIVE_END
    x.jog()
    with pytest.raises(velkor.MotionTimeout):
        x.wait_stopped(timeout=0.5)
    with pytest.raises(velkor.InterruptTimeout):
        card.wait_interrupt(InterruptFactor.PROGRAM, timeout=0.05)


def test_inputs_latch_remote_io_and_interrupts_reach_the_library(manual, card):
    manual.set_inputs(2, 0b1010)
    manual.set_latch(2, -1234)
    manual.set_remote_input(7, 0xBEEF)
    card.remote_out(8, 0x12345678)
    y = card.axis(2)
    assert (y.inputs & 0xF, y.input(1), y.input(2), y.latch) == (0b1010, 1, 0, -1234)
    assert (card.remote_in(7), manual.remote_output(8)) == (0xBEEF, 0x12345678)
    card.enable_interrupts(InterruptFactor.ALL)
    manual.raise_interrupt(InterruptFactor.HOMING | InterruptFactor.PROGRAM)
    got = card.wait_interrupt(InterruptFactor.HOMING, timeout=1)
    assert got == (InterruptFactor.HOMING, InterruptFactor.HOMING | InterruptFactor.PROGRAM)


def test_stores_and_version_as_the_module_keeps_them(manual, card):
    card.write_byte_var(3, 99)
    card.write_var(1000, -7)
    card.write_md(2000, 1.0)
    manual.set_firmware_version(0x00040201)
    with card.record_program(5):
        card.axis(1).move(10)
        card.MP_TIMER(100)
    assert (manual.byte_variable(3), manual.long_variable(1000), manual.md_word(2000)) == (99, -7, 0x3F800000)
    assert card.firmware_version == 0x00040201 and manual.macro_program_steps(5) == 2


def test_counters_and_the_commands_the_module_could_not_use(manual, card):
    card.axis(1).profile(v=5000)
    # A packet with a code the module has no use for, staged by hand.
    card.WtoB(10 << 8 | 254, 0)
    assert card.WRITE_DATA() == 0
    manual.wait_settled()
    counters = manual.counters()
    assert counters["packets_taken"] == manual.packets_taken == 2
    assert counters["sequence_gaps"] == counters["dropped_packets"] == 0 and counters["exchanges_answered"] >= 0
    assert manual.unsimulated().get("code 254") == 1 and manual.code_name(72) == "SET_V"


def test_trail_and_log(manual, card):
    card.axes(1, 2).position = 0
    card.axes(1, 2).profile(v=20000, a=0).move(500)
    card.wait_stopped(Axes.X | Axes.Y, timeout=5)
    trail = manual.take_trail()
    assert trail[-1][1][:2] == (500, 500) and trail[0][0] <= trail[-1][0]
    assert manual.take_trail() == []
    log = manual.take_log()
    assert log[-2].endswith("FIXED_MOVE axis=3 data=500") and log[-1] == "query STOP_WAIT axis=3 -> 1"


def test_the_scope_captures_a_move_from_its_trigger(manual, card, tmp_path):
    x = card.axis(1).profile(sv=100, v=10000, a=100000)
    x.position = 0
    manual.start_scope(period=0.001, trigger="position", axis=1, position=1000)
    x.move(4000).wait_stopped(timeout=5)
    state = manual.scope_state()
    assert state["triggered"] and state["waiting"] > 100
    samples = manual.take_scope(numpy=False)
    lp = samples["lp"][0]
    assert lp[0] >= 999 and lp[-1] == 4000 and len(samples["time"]) == len(lp) == len(samples["speed"][3])
    assert max(samples["speed"][0]) == pytest.approx(10000, rel=0.01)
    manual.stop_scope()
    manual.start_scope(period=0.01)
    x.move(-4000).wait_stopped(timeout=5)
    written = manual.write_scope_csv(tmp_path / "scope.csv")
    assert written > 10 and (tmp_path / "scope.csv").read_text().count("\n") >= written
    with pytest.raises(ValueError):
        manual.start_scope(trigger="sometimes")


def test_scope_samples_as_numpy_arrays_when_numpy_is_installed(manual, card):
    manual.start_scope()
    card.axis(1).profile(v=10000, a=0).move(100).wait_stopped(timeout=5)
    if numpy_or_none() is None:
        with pytest.raises(velkor.ModuleError, match="numpy"):
            manual.take_scope(numpy=True)
        assert isinstance(manual.take_scope()["time"], list)
    else:
        samples = manual.take_scope()
        assert samples["lp"].shape == (4, len(samples["time"])) and samples["lp"][0][-1] == 100


def test_every_call_of_the_header_is_reachable_by_name(manual):
    library = load_library()
    assert manual.has("Advance") and manual.has("VelkorSim_Advance")
    assert manual.PacketsTaken() == 0
    state = library.structs["VelkorSimScopeState"]()
    manual.GetScopeState(ctypes.byref(state))
    assert state.running == 0


def test_the_drive_model_and_the_following_error_reach_python(manual, card):
    manual.set_machine(1, natural_frequency=10.0, damping=0.7, dead_time=2)
    assert manual.machine(1)["dead_time"] == 2
    manual.start_scope(trigger="path_start")
    card.axis(1).profile(sv=100, v=10000, a=0)
    card.axis(1).move(-20000)
    manual.advance(1.0)
    lag = -10000 * (0.002 + 2 * 0.7 / (2 * 3.141592653589793 * 10))  # behind a move towards -
    assert manual.axis(1)["following_error"] == pytest.approx(lag, rel=0.01)
    assert manual.scope_state()["waiting"] == 0  # no path yet
