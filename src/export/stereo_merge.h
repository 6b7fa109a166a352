// Stereo pairs: the name rules that recognise an L/R pair of mono samples
// and name the merged file, the test that keeps a sample from being written
// twice, and the merge of two mono WAV files into one two-channel file.
#pragma once

#include <cstddef>
#include <string>

namespace corvix {

// Replaces the later of the last 'L' and the last 'R' of name, and
// everything after it, by "LR"; a name with neither letter is unchanged.
// name must hold kWaveNameBytes (14) bytes; from a name of up to 12
// characters the result has at most 13. Returns name.
char* MakeStereoName(char* name);

// 1 when b has, at the position of the later of a's last 'L' and last 'R',
// the other letter; 0 otherwise and when a has neither letter.
int IsStereoPair(const char* a, const char* b);

// 1 when the letter of name that pairs it (the later of its last 'L' and
// last 'R') is 'R': the name of a pair's right side.
int IsRightOfPair(const char* name);

// 1 when name, or its stereo name, is the name of a WaveTable row
// 0 … count − 1. name is not changed.
int IsAlreadyExported(const char* name);

// Joins WaveFolder/left.wav and WaveFolder/right.wav into
// WaveFolder/MakeStereoName(left).wav: the left file's format with two
// channels, INAM the merged name, the sound interleaved frame by frame,
// the left file's smpl (and 3gix in conversions). Here "left" is the file
// of the zone that names the pair first; the sound of the sample whose name
// has the R (IsRightOfPair) is the second channel whichever zone names it,
// so that a pair named R first is not played mirrored.
// The output follows the left file's length; a shorter right file is padded
// with silence. The merged sound is written to a temporary file beside the
// result first; only when it is complete and on the disk does it take the
// merged name (replacing an earlier file of it), and only then are the mono
// files (the job's own) deleted. On failure: PendingError set,
// the mono files kept, no temporary file left, 0.
int MergeStereoFiles(const char* left, const char* right);

// The same for files named by the job: leftPath and rightPath into
// finalPath, the merged name (INAM) made from leftName, with the left
// file's 3gix when groupChunk is set.
int MergeStereoPair(const std::string& leftPath, const std::string& rightPath, const char* leftName,
                    const std::string& finalPath, bool groupChunk);

}  // namespace corvix
