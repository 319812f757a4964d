"""TallyKit computation blocks, driven from Python.

    import tallykit
    add = tallykit.create("OVAdd")      # ProgID, coclass or class name
    add.InputX, add.InputY = 2.5, 4.0
    add.Operate()
    print(add.Output)

Members are the block's own properties and methods, read from its member table
when it runs: `help(block)` and `dir(block)` list them. Values convert both
ways: float <-> r8, int <-> i4, str <-> bstr, bool <-> bool, None <-> empty,
NumPy arrays <-> arrays (see `Array` for lower bounds and 2-D order), and
`Value(kind, x)` for any other kind. Events reach callbacks added with
`block.on(event, fn)`. A refused call raises `Error`.

Built for the interpreter the build was configured with (Debian's
/usr/bin/python3 by default).
"""
import os
import tempfile
from collections import namedtuple

import numpy as _np

from . import _tallykit as _core
from ._tallykit import Block, Error, Member, Value

__all__ = ["Array", "Block", "ClassInfo", "Error", "Member", "Value", "classes", "create", "load"]


class Array(_np.ndarray):
    """A NumPy array that keeps the lower bound of each dimension.

    Arrays a block hands out are Arrays; `lbound` is a tuple with one lower
    bound per dimension. Plain ndarrays given to a block start at 0.
    Two-dimensional arrays are indexed [first, second] as the block indexes
    them, the first index running fastest in the block's storage.

        tallykit.Array([1.0, 2.0, 3.0], lbound=(1,))
    """

    def __new__(cls, data, lbound=None, dtype=None):
        a = _np.asarray(data, dtype=dtype).view(cls)
        a.lbound = tuple(lbound) if lbound is not None else (0,) * a.ndim
        if len(a.lbound) != a.ndim:
            raise ValueError("lbound needs one bound per dimension")
        return a

    def __array_finalize__(self, obj):
        bounds = getattr(obj, "lbound", None)
        self.lbound = bounds if bounds is not None and len(bounds) == self.ndim else (0,) * self.ndim

    def __reduce__(self):
        return (Array, (_np.asarray(self), self.lbound))


_core._set_array_type(Array)

ClassInfo = namedtuple("ClassInfo", "progid coclass class_name registers")


def classes():
    """Every creatable class, as `tallykit classes` lists them."""
    return [ClassInfo(*row) for row in _core.classes()]


class _BlockBase(Block):
    __slots__ = ()

    def save(self, path=None):
        """The persisted properties: as bytes, or written to the file `path`."""
        text = self._save_text()
        if path is None:
            return text.encode()
        path = os.fspath(path)
        # A failed save leaves an existing file as it was.
        fd, temp = tempfile.mkstemp(dir=os.path.dirname(os.path.abspath(path)), prefix=".tk-")
        try:
            with os.fdopen(fd, "w", encoding="utf-8", newline="") as f:
                f.write(text)
            os.replace(temp, path)
        except BaseException:
            os.unlink(temp)
            raise
        return None

    def load(self, source):
        """Loads persisted properties from bytes or from a file saved by save()."""
        self._load_text(_read(source))

    def __reduce__(self):
        return (_restore, (self.progid, self.save()))


def _read(source):
    if isinstance(source, (bytes, bytearray, memoryview)):
        return bytes(source).decode("utf-8")
    with open(source, encoding="utf-8", newline="") as f:
        return f.read()


def _restore(progid, data):
    block = create(progid)
    block.load(data)
    return block


_types = {}


def _block_type(name):
    info = _core._describe(name)
    cls = _types.get(info["progid"])
    if cls is None:
        lines = ["%s block (%s)" % (info["name"], info["progid"]), "", "Members:"]
        for _, signature, text in info["members"]:
            lines += ["    " + signature] + (["        " + text] if text else [])
        if info["events"]:
            lines += ["", "Events (block.on(name, fn)):"]
            for _, signature, text in info["events"]:
                lines += ["    " + signature] + (["        " + text] if text else [])
        namespace = {"__slots__": (), "__doc__": "\n".join(lines), "__module__": __name__}
        cls = _types[info["progid"]] = type(info["name"], (_BlockBase,), namespace)
    return cls


def create(name):
    """A new block of the class `name` (ProgID, coclass or class name), initialised
    as a host initialises a new block: sited in run mode and reset."""
    return _core._new(name, _block_type(name))


def load(source):
    """A new block of the class named in a saved block (bytes or a file), loaded from it."""
    text = _read(source)
    block = create(_core._saved_class(text))
    block._load_text(text)
    return block
