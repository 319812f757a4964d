"""A square wave through a low-pass FIR filter, seen through the FFT.

    OVFuncGen (square wave, 32 Hz at 1024 Hz) -> CFIRFilter (low pass 0.05) -> FFT

The square wave carries its odd harmonics (32, 96, 160 ... Hz); the filter
keeps the fundamental and removes the harmonics above 51 Hz. Both spectra are
drawn into a PNG:

    /usr/bin/python3 examples/python/spectrum.py [out.png]
"""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

import tallykit

RATE, SIZE = 1024.0, 1024  # 32 periods of 32 samples: every harmonic falls on a bin

gen = tallykit.create("OVFuncGen")
gen.Waveform = "ovSquareWaveform"
gen.Frequency = 32.0
gen.SampleRate = RATE
gen.ArraySize = SIZE

lowpass = tallykit.create("CFIRFilter")
lowpass.FilterType = 0  # low pass
lowpass.HighFrequencyCutoff = 0.05  # a low pass passes up to its high cutoff: 51 Hz
lowpass.NumOfCoeff = 64
lowpass.WindowType = 6  # Blackman

fft = tallykit.create("FFT")


def magnitude_db(samples):
    """The FFT block's packed half spectrum (re, im pairs) as dB per bin."""
    fft.Value = samples
    packed = np.asarray(fft.Operate(), dtype=np.float64)
    bins = np.hypot(packed[0::2], packed[1::2]) / (len(samples) / 2)
    return 20 * np.log10(np.maximum(bins, 1e-6))


# Two blocks through the filter: its delay line carries the signal across them,
# so the second block's output is past the filter's start-up.
for _ in range(2):
    signal = gen.Operate()
    lowpass.ValueIn = signal
    filtered = lowpass.Operate()

freqs = np.arange(SIZE // 2) * RATE / SIZE
before, after = magnitude_db(signal), magnitude_db(filtered)

fig, ax = plt.subplots(figsize=(8, 4.5), dpi=100)
ax.plot(freqs, before, label="square wave (OVFuncGen)", lw=1)
ax.plot(freqs, after, label="after low-pass CFIRFilter, 64 taps", lw=1)
ax.set(xlabel="frequency (Hz)", ylabel="magnitude (dB)", ylim=(-120, 10), xlim=(0, RATE / 2),
       title="Spectrum by the FFT block, driven from Python")
ax.grid(alpha=0.3)
ax.legend()
fig.tight_layout()
out = sys.argv[1] if len(sys.argv) > 1 else "spectrum.png"
fig.savefig(out)
print(f"fundamental {before[np.argmin(abs(freqs - 32))]:.1f} dB -> {after[np.argmin(abs(freqs - 32))]:.1f} dB, "
      f"third harmonic {before[np.argmin(abs(freqs - 96))]:.1f} dB -> {after[np.argmin(abs(freqs - 96))]:.1f} dB; "
      f"wrote {out}")
