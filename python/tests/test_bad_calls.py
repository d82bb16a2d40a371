"""Bad calls of the Pythonic layers, one table: each raises before anything
is called, and the module is left as it was (no packet taken, no axis,
machine or counter changed)."""

import ctypes
import math

import pytest

import velkor


def closed(card):
    card.close()
    return card


def state(module):
    return (module.counters(), [module.axis(n) for n in range(1, 5)], [module.machine(n) for n in range(1, 5)])


BAD_CALLS = [
    # time-outs
    ("wait_stopped NaN", lambda m, c: c.wait_stopped(timeout=math.nan), ValueError),
    ("wait_stopped negative", lambda m, c: c.axis(1).wait_stopped(timeout=-1), ValueError),
    ("wait_interrupt NaN", lambda m, c: c.wait_interrupt(timeout=math.nan), ValueError),
    ("wait_interrupt no factor", lambda m, c: c.wait_interrupt(0), ValueError),
    ("advance NaN", lambda m, c: m.advance(math.nan), ValueError),
    ("advance forever", lambda m, c: m.advance(math.inf), ValueError),
    # integers the virtual module's C calls would cut to width
    ("set_machine 2**40", lambda m, c: m.set_machine(1, plus_limit=2 ** 40), ValueError),
    ("set_machine bits -1", lambda m, c: m.set_machine(2, normally_closed=-1), ValueError),
    ("set_machine 1.5", lambda m, c: m.set_machine(1, home_from=1.5), TypeError),
    ("raise_interrupt -1", lambda m, c: m.raise_interrupt(-1), ValueError),
    ("set_remote_input port", lambda m, c: m.set_remote_input(256, 1), ValueError),
    ("set_remote_input word", lambda m, c: m.set_remote_input(1, 2 ** 16), ValueError),
    ("remote_output port", lambda m, c: m.remote_output(-1), ValueError),
    ("set_inputs word", lambda m, c: m.set_inputs(1, 0x10000), ValueError),
    ("set_latch", lambda m, c: m.set_latch(1, 2 ** 31), ValueError),
    ("turn_handwheel", lambda m, c: m.turn_handwheel(1, -2 ** 31 - 1), ValueError),
    ("byte_variable", lambda m, c: m.byte_variable(256), ValueError),
    ("long_variable", lambda m, c: m.long_variable(65536), ValueError),
    ("md_word", lambda m, c: m.md_word(-1), ValueError),
    ("macro_program_steps", lambda m, c: m.macro_program_steps(300), ValueError),
    ("set_firmware_version", lambda m, c: m.set_firmware_version(2 ** 32), ValueError),
    ("code_name", lambda m, c: m.code_name(256), ValueError),
    ("advance_until_stopped mask", lambda m, c: m.advance_until_stopped(0x100), ValueError),
    ("set_take_latency", lambda m, c: m.set_take_latency(5000.0), ValueError),
    ("start_scope capacity", lambda m, c: m.start_scope(capacity=2 ** 32), ValueError),
    ("start_scope position", lambda m, c: m.start_scope(trigger="position", position=2 ** 31), ValueError),
    ("options firmware_version", lambda m, c: velkor.VirtualModule(5, firmware_version=2 ** 32), ValueError),
    ("generic call", lambda m, c: m.SetRemoteInput(256, 0), ValueError),
    ("generic call True", lambda m, c: m.SetRemoteInput(True, 0), TypeError),
    ("set_inputs True", lambda m, c: m.set_inputs(1, True), TypeError),
    ("scope file None", lambda m, c: m.write_scope_csv(None), TypeError),
    # the card layer
    ("Card interrupts 1.5", lambda m, c: velkor.Card(1, slot=3, interrupts=1.5), TypeError),
    ("Card interrupts 256", lambda m, c: velkor.Card(1, slot=3, interrupts=256), ValueError),
    ("assign_axes selector 8", lambda m, c: c.assign_axes(1, 2, 8), ValueError),
    ("assign_axes two axes in one", lambda m, c: c.assign_axes(velkor.Axes(3), 3), ValueError),
    ("assign_axes twice", lambda m, c: c.assign_axes(1, c.axis(1)), ValueError),
    ("closed card reads", lambda m, c: closed(c).axis(1).position, velkor.CardClosed),
    ("closed card moves", lambda m, c: closed(c).axis(1).move(100), velkor.CardClosed),
    ("closed card interrupts", lambda m, c: closed(c).enable_interrupts(), velkor.CardClosed),
    ("closed card raw export", lambda m, c: closed(c).SET_V(1, 1000), velkor.CardClosed),
    ("raw export True", lambda m, c: c.SET_V(1, True), TypeError),
    ("raw export False", lambda m, c: c.FIXED_MOVE(False, 100), TypeError),
    ("home mode tuple", lambda m, c: c.axis(1).home(mode=(0, 0, 10, 0, 0)), ValueError),
    ("home mode name", lambda m, c: c.axis(1).home(mode="switch"), ValueError),
    ("home direction 0", lambda m, c: c.axis(1).home(direction=0), ValueError),
    ("home creep", lambda m, c: c.axis(1).home(speed=1000, creep=101), ValueError),
    ("home keep_encoder", lambda m, c: c.axis(1).home(keep_encoder=1), TypeError),
    # arrays shorter than the call reads
    ("LINE_SCAN_OFFSET short", lambda m, c: c.LINE_SCAN_OFFSET(64, (ctypes.c_uint8 * 16)()), ValueError),
    ("LINE_SCAN_OFFSET bare pointer",
     lambda m, c: c.LINE_SCAN_OFFSET(4, ctypes.cast((ctypes.c_uint8 * 4)(), ctypes.POINTER(ctypes.c_uint8))),
     TypeError),
    ("CONTINUE_INTP_ARRAY no end", lambda m, c: c.CONTINUE_INTP_ARRAY(
        (ctypes.c_uint8 * 3)(1, 1, 1), *[(ctypes.c_int32 * 3)() for _ in range(5)]), ValueError),
    ("CONTINUE_INTP_ARRAY short x", lambda m, c: c.CONTINUE_INTP_ARRAY(
        (ctypes.c_uint8 * 3)(1, 1, 7), (ctypes.c_int32 * 2)(), *[(ctypes.c_int32 * 3)() for _ in range(4)]),
     ValueError),
    ("READ_MD empty array", lambda m, c: c.READ_MD(1, (ctypes.c_int32 * 0)(), None), ValueError),
]


@pytest.mark.parametrize("call, error", [row[1:] for row in BAD_CALLS], ids=[row[0] for row in BAD_CALLS])
def test_a_bad_call_raises_and_leaves_the_module_as_it_was(module, card, call, error, tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    before = state(module)
    with pytest.raises(error):
        call(module, card)
    assert state(module) == before
    assert not list(tmp_path.iterdir())  # no file named None


def test_arrays_that_hold_enough_pass_and_a_closed_card_opens_again(module, card):
    offsets = (ctypes.c_uint8 * 40)(*range(40))
    card.LINE_SCAN_OFFSET(40, offsets)
    value = ctypes.c_int32()
    card.READ_MD(1, ctypes.byref(value), None)
    card.close()
    with card:
        card.axis(1).position = 5
        assert card.axis(1).position == 5
