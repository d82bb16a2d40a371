"""The Pythonic layer on the virtual module: registration and tidy-up, range
checks, waits that raise, interrupts, arcs and paths, stores, macro
recording, and the raw exports bound to a card."""

import ctypes
import time

import pytest

import velkor
from velkor import Axes, ErrorBits, InterruptFactor, raw


def test_a_fixed_move_reaches_its_target(card):
    x = card.axis(1).profile(sv=200, v=20000, a=200000, d=200000)
    x.position = 100
    x.move(5000).wait_stopped(timeout=10)
    assert (x.position, x.encoder, x.stopped) == (5100, 5000, True)  # EP follows the motion only
    x.move_to(-250).wait_stopped(timeout=10)
    assert x.position == -250 and x.error_code == 0 and not card.error


def test_registration_refused_raises_and_sends_nothing():
    with pytest.raises(velkor.RegistrationError, match="slot 6"):
        with velkor.Card(0, slot=6):
            pass  # pragma: no cover


@pytest.mark.parametrize("call, error", [
    (lambda c: c.axis(5), ValueError),
    (lambda c: c.axis(1).move(2 ** 31), ValueError),
    (lambda c: c.axis(1).profile(v=-1), ValueError),
    (lambda c: c.axis(1).move(1.5), TypeError),
    (lambda c: c.SET_V(16 * 16, 1000), ValueError),
    (lambda c: c.SET_V(1), TypeError),
    (lambda c: c.write_byte_var(0, 256), ValueError),
    (lambda c: c.arc_3d((1, 2), (3, 4, 5), 1, 100), TypeError),
    (lambda c: c.NO_SUCH_EXPORT, AttributeError),
    (lambda c: velkor.Card(8 * 32), ValueError),
])
def test_values_that_do_not_fit_raise_before_anything_is_sent(module, card, call, error):
    before = module.packets_taken
    with pytest.raises(error):
        call(card)
    assert module.packets_taken == before


def test_raw_exports_are_bound_to_the_card(module, card):
    card.SET_LP(Axes.AXIS2, 42)
    card.Velkor_SET_EP(2, -42)
    assert (card.GET_LP(2), card.GET_EP(2)) == (42, -42)
    # The packers and readers take the card number too.
    card.LtoB(-2, 4)
    assert card.WRITE_DATA() == velkor.bits.WRITE_DATA_POSTED


def test_wait_stopped_raises_on_time_out(card):
    y = card.axis(2).profile(v=1000)
    y.jog(-1)
    with pytest.raises(velkor.MotionTimeout, match="still moving") as caught:
        y.wait_stopped(timeout=0.05)
    assert isinstance(caught.value, TimeoutError)
    y.stop(suddenly=True)
    card.clear_stop()
    y.wait_stopped(timeout=5)
    assert y.position < 0


def test_the_with_block_stops_everything_and_closes_up_on_an_exception(module):
    with pytest.raises(RuntimeError):
        with velkor.Card(0, slot=3, interrupts=InterruptFactor.DRIVE_END) as card:
            card.axis(3).profile(v=2000).jog()
            card.begin_recording(4)
            raise RuntimeError("the script failed")
    assert not card.registered and card.recording is None and not card.interrupts_enabled
    with velkor.Card(0, slot=3) as again:
        # Stopped at once, the recording closed (readers answer again), and
        # the interrupt service can start anew.
        again.wait_stopped(Axes.AXIS3, timeout=2)
        again.axis(3).position = 7
        assert again.axis(3).position == 7
        again.enable_interrupts()


def test_a_clean_exit_leaves_motion_running(module):
    with velkor.Card(0, slot=3) as card:
        card.axis(4).profile(v=1000).jog()
    with velkor.Card(0, slot=3) as card:
        assert not card.stopped(Axes.AXIS4)
        card.stop(Axes.AXIS4, suddenly=True)
        card.clear_stop()


def test_interrupt_waits_return_the_factor_bits(card):
    card.enable_interrupts(InterruptFactor.DRIVE_END)
    card.axis(1).profile(v=20000, a=0).move(200)
    assert card.wait_interrupt(timeout=5) == (InterruptFactor.DRIVE_END, InterruptFactor.DRIVE_END)
    with pytest.raises(velkor.InterruptTimeout):
        card.wait_interrupt(timeout=0.02)
    card.clear_interrupt_flags()
    card.disable_interrupts()
    assert not card.interrupts_enabled


def test_interrupts_cannot_start_twice_from_two_cards_on_one_number(module, card):
    card.enable_interrupts()
    other = velkor.Card(0, slot=3)
    with pytest.raises(velkor.InterruptServiceError):
        other.enable_interrupts()


def test_arc_plans_and_their_refusals(module, card):
    card.axes(1, 2, 3).position = 0
    plan = card.arc_3d((1000, 1000, 0), (2000, 0, 0), tolerance=1, speed=10000)
    assert plan == velkor.ArcPlan(314, 314, None) and not plan.too_fast
    card.wait_stopped(timeout=10)
    fast = card.arc_3d(raw.POINT_3D(1000, 1000, 0), (2000, 0, 0), 1, 500000)
    assert fast.too_fast and fast.speed_limit == 221220 and fast.time_ms is None
    card.wait_stopped(timeout=10)
    assert [card.axis(n).position for n in (1, 2, 3)] == [4000, 0, 0]
    sent = module.packets_taken
    with pytest.raises(velkor.ArcDegenerate):
        card.arc_3d((1000, 0, 0), (2000, 0, 0), 1, 10000)  # collinear
    assert module.packets_taken == sent


def test_paths_end_on_the_sum_of_their_segments(card):
    card.axes(1, 2, 3).position = 0
    path = card.line_path((1, 2), sv=200, v=20000, a=200000)
    for k in range(4):
        path.segment(100, -50, end=k == 3)
    assert path.ended
    card.wait_stopped(timeout=10)
    mix = card.mix_path(200, 20000, 200000)
    mix.line((11, -22, 33))
    assert mix.arc((0, 1000, 1000), (0, 2000, 0), tolerance=5, end=True).time_ms == 157
    card.wait_stopped(timeout=10)
    assert [card.axis(n).position for n in (1, 2, 3)] == [411, 1778, 33]


def test_vector_moves(card):
    card.axes(1, 2).position = 0
    card.assign_axes(Axes.X, Axes.Y, Axes.Z)
    card.vector_profile(sv=200, v=20000, a=200000)
    card.line(300, 400)
    card.arc((0, -1000), (0, -2000), clockwise=True)
    card.circle((500, 0), clockwise=False)
    card.wait_stopped(timeout=10)
    assert (card.axis(1).position, card.axis(2).position) == (300, -1600)
    card.assign_axes(2, 3, 4)  # axis numbers
    card.line(10, 20, 30)
    card.wait_stopped(timeout=10)
    assert [card.axis(n).position for n in (2, 3, 4)] == [-1590, 20, 30]
    assert ErrorBits.BAD_COMMAND not in card.error_code(Axes.AXIS1)


def test_stores_and_remote_io(module, card):
    card.write_byte_var(9, 250)
    card.write_var(70000, -5)  # low 16 bits of the index are sent
    card.write_md(10, -99)
    card.write_md(1500, 0.25)
    card.remote_out(2, 0xABCD1234)
    assert (card.read_byte_var(9), card.read_var(70000 - 65536), card.read_md(10), card.read_md(1500)) \
        == (250, -5, -99, 0.25)
    assert card.remote_in(2) == 0  # nothing wired to the port's input
    module.set_remote_input(2, 0x1234)
    assert card.remote_in(2) == 0x1234
    assert module.remote_output(2) == 0xABCD1234


def test_error_bits_have_names(card):
    x = card.axis(1).profile(v=500)
    x.move(10000)
    x.move(10)  # refused: the axis is in use
    assert ErrorBits.AXIS_BUSY in x.error_code
    card.stop(Axes.AXIS1, suddenly=True)
    assert card.error and ErrorBits.HOST_STOP_FLAG in card.error_code(Axes.AXIS1)
    card.clear_stop()
    assert x.error_code == 0 and not card.error


def test_recording_a_program_closes_also_on_an_exception(module, card):
    with pytest.raises(KeyError):
        with card.record_program(2):
            card.axis(1).move(10)
            assert card.axis(1).position == 0  # a recorded reader answers 0
            raise KeyError("stop")
    card.axis(1).position = 33
    assert card.recording is None and card.axis(1).position == 33


def test_card_functions(card):
    assert card.library_version == 1809
    assert card.firmware_version == 0x00030100
    assert card.check_rtc() in (0, 1)


def test_read_md_keeps_the_libraries_int_float_split(card):
    card.write_md(1023, 1023)
    card.write_md(1024, 1024.5)
    assert card.read_md(1023) == 1023 and isinstance(card.read_md(1023), int)
    assert card.read_md(1024) == 1024.5
    # The same word read as bits through the raw layer.
    bits = ctypes.c_float(0)
    card.call("Velkor_READ_MD", 1024, None, ctypes.byref(bits))
    assert raw.FtoDW(bits.value) == raw.FtoDW(1024.5)


@pytest.mark.parametrize("flag, text", [
    (ErrorBits(0x210), "HARD_LIMIT_PLUS|HOMING_FAILED"),
    (ErrorBits(0), "0"),
    (InterruptFactor.PROGRAM, "PROGRAM"),
    (InterruptFactor(0xFF), "ALL"),
    (Axes(3), "AXIS1|AXIS2"),
    (velkor.Inputs(0xFF05), "PLUS_LIMIT|HOME|GENERAL"),
    (velkor.Inputs(0x0101), "PLUS_LIMIT|0x100"),
])
def test_flags_print_with_their_names(flag, text):
    assert (str(flag), "%s" % flag, f"{flag}", f"{flag:#x}") == (text, text, text, hex(flag))


def test_messages_name_the_bits(card):
    with pytest.raises(velkor.InterruptTimeout, match="no interrupt of PROGRAM within"):
        card.wait_interrupt(InterruptFactor.PROGRAM, timeout=0)
    y = card.axis(2).profile(v=1000)
    y.jog()
    with pytest.raises(velkor.MotionTimeout, match="axes AXIS2 still moving"):
        y.wait_stopped(timeout=0)
    y.stop(suddenly=True)
    card.clear_stop()


def test_an_interrupt_wait_says_which_flag_it_consumed_and_clears_stale_ones(module, card):
    card.enable_interrupts(InterruptFactor.ALL)
    module.raise_interrupt(InterruptFactor.DRIVE_END)  # left from an earlier move
    time.sleep(0.1)
    module.raise_interrupt(InterruptFactor.COMPARE)
    time.sleep(0.1)
    either = InterruptFactor.DRIVE_END | InterruptFactor.COMPARE
    first = card.wait_interrupt(either, timeout=1)
    assert first.factor == InterruptFactor.DRIVE_END and InterruptFactor.COMPARE in first.code
    assert card.wait_interrupt(either, timeout=1).factor == InterruptFactor.COMPARE
    module.raise_interrupt(InterruptFactor.DRIVE_END)
    time.sleep(0.1)
    with pytest.raises(velkor.InterruptTimeout):
        card.wait_interrupt(InterruptFactor.DRIVE_END, timeout=0.05, clear=True)


def test_an_arc_of_under_half_a_millisecond_is_a_time_not_a_speed_limit(card):
    plan = card.arc_3d((1, 1, 0), (2, 0, 0), tolerance=1, speed=4000)  # chords of 0.25 ms
    assert plan == velkor.ArcPlan(0, 0, None) and not plan.too_fast
