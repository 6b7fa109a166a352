#pragma once

namespace corvix {

// How a job cuts and tunes its WAV files. The defaults are the files of
// "Import Waves" and of the .tes conversions.
struct WaveStyle {
  // The unity note corrected for the sampling rate, for the Tessaline
  // sampler, which plays every file at 44100 Hz. Other samplers play a file
  // at its own rate and want the note the sample sounds at that rate.
  bool rateCorrected = true;
  // Every word that any zone may play (SoundRange), not only the play
  // range of the zone that exports the sample: for instruments whose zones
  // each set their own start, end and loop within one sample.
  bool wholeSound = false;
};

}  // namespace corvix
