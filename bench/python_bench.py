"""Costs of the Python package against plain Python and NumPy, in one run.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py

A property put (OVAdd.InputX = 1.5) against an attribute set on a __slots__
object, and a 1,000,000-element float64 array put into and read back from a
block (FFT.Value) against numpy.copy of the same array.
"""
import timeit

import numpy as np

import tallykit


class Plain:
    __slots__ = ("x",)


def best(stmt, number, **names):
    return min(timeit.repeat(stmt, globals=names, number=number, repeat=5)) / number


def main():
    add, plain = tallykit.create("OVAdd"), Plain()
    put = best("add.InputX = 1.5", 200_000, add=add)
    slot = best("plain.x = 1.5", 200_000, plain=plain)
    print(f"property put      {put * 1e9:8.1f} ns   __slots__ set {slot * 1e9:6.1f} ns   "
          f"ratio {put / slot:5.2f} (target 3)")

    fft, data = tallykit.create("FFT"), np.random.default_rng(1).standard_normal(1_000_000)
    copy = best("np.copy(data)", 20, np=np, data=data)
    array_in = best("fft.Value = data", 20, fft=fft, data=data)
    array_out = best("fft.Value", 20, fft=fft)
    for name, t in (("array in", array_in), ("array out", array_out)):
        print(f"{name:<17} {t * 1e3:8.3f} ms   numpy.copy {copy * 1e3:8.3f} ms   "
              f"ratio {t / copy:5.2f} (target 3)")


if __name__ == "__main__":
    main()
