import os
import pickle
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

import tallykit


@pytest.fixture
def add():
    return tallykit.create("OVAdd")


@pytest.fixture
def fft():
    return tallykit.create("FFT")  # Value stores any array as given


def test_create_by_any_name_and_class_list():
    names = {c.coclass for c in tallykit.classes()}
    assert {"OVAdd", "FFT", "CFIRFilter"} <= names
    for name in ("OVAdd", "TALLYKIT.OVAddCtrl.1", "COVAddCtrl", "tallykit.ovaddctrl.1"):
        assert tallykit.create(name).progid == "TALLYKIT.OVAddCtrl.1"


def test_members_listed_with_help(add):
    assert {"InputX", "InputY", "Operate", "on", "save"} <= set(dir(add))
    assert "InputX: variant\n        First operand" in type(add).__doc__
    assert "ErrorOut(pObject: dispatch" in type(add).__doc__


@pytest.mark.parametrize(
    "value, expected",
    [(2.5, 2.5), (3, 3), (True, True), ("text", "text"), (None, None),
     (tallykit.Value("i2", 5), 5), (np.float64(1.25), 1.25), (np.int32(-7), -7)],
)
def test_scalars_round_trip(fft, value, expected):
    fft.Value = value
    got = fft.Value
    assert got == expected and type(got) is type(expected)


def test_explicit_kinds():
    assert tallykit.Value("i2", 5).kind == "i2"
    assert tallykit.Value("date", 45000.5).value == 45000.5
    assert tallykit.Value("null").value is None
    assert tallykit.Value("error", 5).value == 5


@pytest.mark.parametrize("value", [2**31, -(2**31) - 1, 2**80, np.array([2**40])])
def test_integers_beyond_32_bits_overflow(fft, value):
    with pytest.raises(OverflowError):
        fft.Value = value


@pytest.mark.parametrize(
    "data, dtype",
    [([1.5, -2.0], np.float64), ([1.5, 2.0], np.float32), ([1, 2], np.int32),
     ([1, 2], np.int16), ([1, 255], np.uint8), ([True, False], np.bool_),
     (["a", "bc"], np.str_), ([], np.float64)],
)
def test_arrays_keep_dtype(fft, data, dtype):
    fft.Value = np.array(data, dtype=dtype)
    got = fft.Value
    assert got.dtype.type is dtype and got.tolist() == data and got.lbound == (0,)


def test_two_dimensional_order_and_bounds(fft):
    a = tallykit.Array(np.arange(6.0).reshape(2, 3), lbound=(-1, 5))
    fft.Value = a
    got = fft.Value
    assert got.shape == (2, 3) and got.lbound == (-1, 5)
    np.testing.assert_array_equal(got, a)
    # The first index runs fastest in the block's storage, as in Fortran order.
    fft.Value = np.array([[1, 2], [3, 4]], dtype=np.int32)
    assert fft.Value.ravel(order="F").tolist() == [1, 3, 2, 4]


def test_events_in_order_with_converted_arguments(add):
    seen = []
    for name in ("ControlOut", "StatusReady", "RunBlock", "ErrorOut"):
        add.on(name, lambda *args, name=name: seen.append((name,) + args))
    add.InputX, add.InputY = 1.0, 2.0
    add.Operate()
    assert [s[0] for s in seen] == ["RunBlock", "StatusReady", "ErrorOut", "ControlOut"]
    assert seen[2][1:] == (add, 0, "No Errors")
    add.off("RunBlock")
    seen.clear()
    add.Operate()
    assert "RunBlock" not in [s[0] for s in seen]


def test_failing_callback_is_reported_and_sequence_goes_on(add, monkeypatch):
    seen, reported = [], []
    monkeypatch.setattr(sys, "unraisablehook", lambda info: reported.append(info.exc_value))

    def fails(*_):
        raise RuntimeError("boom")

    add.on("RunBlock", fails)
    add.on("ControlOut", lambda: seen.append("ControlOut"))
    add.Operate()
    assert seen == ["ControlOut"] and str(reported[0]) == "boom"


@pytest.mark.parametrize(
    "action, error",
    [(lambda b: b.NoSuchMember, AttributeError),
     (lambda b: setattr(b, "NoSuchMember", 1), AttributeError),
     (lambda b: setattr(b, "Operate", 1), AttributeError),
     (lambda b: setattr(b, "InputX", object()), TypeError),
     (lambda b: setattr(b, "InputX", np.zeros((2, 2, 2))), ValueError),
     (lambda b: tallykit.load(b"not a bag"), ValueError),
     (lambda b: tallykit.create("NoSuchBlock"), ValueError),
     (lambda b: tallykit.Value("i2", 70000), tallykit.Error),
     (lambda b: tallykit.Value("nokind", 1), ValueError)],
)
def test_errors(add, action, error):
    with pytest.raises(error):
        action(add)


def test_wrong_argument_count_is_refused(add):
    with pytest.raises(tallykit.Error) as refused:
        add.Operate(1, 2)
    assert refused.value.hresult == 0x8002000E and refused.value.message


def test_save_load_and_pickle(add, tmp_path):
    add.InputX, add.InputY = 1.5, -2.0
    add.PlexaInfo[8] = "tag"
    for copy in (tallykit.load(add.save()), pickle.loads(pickle.dumps(add))):
        assert (copy.InputX, copy.InputY, copy.PlexaInfo[8]) == (1.5, -2.0, "tag")
    path = tmp_path / "add.tkb"
    add.save(path)
    other = tallykit.create("OVAdd")
    other.load(path)
    assert other.InputY == -2.0
    with pytest.raises(ValueError):
        tallykit.create("FFT").load(path)


def test_example_writes_its_png(tmp_path):
    source = Path(os.environ.get("TK_SOURCE_DIR", Path(__file__).parents[2]))
    out = tmp_path / "spectrum.png"
    subprocess.run([sys.executable, str(source / "examples/python/spectrum.py"), str(out)],
                   check=True, capture_output=True)
    assert out.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


# Whatever a caller puts, reads or calls, every block answers with a value or
# one of these exceptions, and the interpreter lives on.
ANSWERS = (tallykit.Error, AttributeError, TypeError, ValueError, OverflowError)
ODD_VALUES = [None, -1, 1.5, float("nan"), "", True, np.zeros((2, 3)), np.array([], dtype=float),
              np.array([1, None], dtype=object), tallykit.Value("null"), tallykit.Value("cy", 2.5)]
UI_METHODS = {"AboutBox", "ShowPropertyPages", "ShowHelp", "QuickHelp"}


@pytest.mark.parametrize("progid", [c.progid for c in tallykit.classes()])
def test_any_input_is_answered(progid, monkeypatch):
    monkeypatch.setattr(sys, "unraisablehook", lambda info: None)
    block = tallykit.create(progid)
    for name, *_ in tallykit._core._describe(progid)["members"]:
        if name in UI_METHODS:
            continue
        for value in ODD_VALUES + [block]:
            actions = [lambda: setattr(block, name, value), lambda: getattr(block, name)]
            member = getattr(block, name, None)
            if isinstance(member, tallykit.Member):
                actions += [lambda: member(value), lambda: member(), lambda: member[value],
                            lambda: member.__setitem__(value, value)]
            for action in actions:
                try:
                    action()
                except ANSWERS:
                    pass
    tallykit.load(block.save())
