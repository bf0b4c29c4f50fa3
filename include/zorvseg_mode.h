// Mode bits of a segmentation handle (LxCreateSegHandle, ResetSegMode).
// Combine them with |; a bit not listed here is read by no stage.
#ifndef ZORVSEG_MODE_H_
#define ZORVSEG_MODE_H_

#include <cstdint>

namespace new_seg {

// Cut every sentence into single characters instead of searching the lattice.
const int32_t kModeSingleWord = 0x00000002;
// Tag every word with its part of speech.
const int32_t kModePosTag = 0x00000004;
// Let the working custom dictionary's words replace path words.
const int32_t kModeUseCustomWord = 0x00000008;
// Turn full-width characters into half-width ones.
const int32_t kModeSbcToDbc = 0x00000010;
// Return words lower-cased (segmentation always works on the lower-cased text).
const int32_t kModeUpperToLower = 0x00000020;
// Accepted for compatibility; phrases are always produced.
const int32_t kModeUsePhrase = 0x00000040;
// Re-cut spans named by the data directory's custom rules.
const int32_t kModeUseCustomRule = 0x00000080;
// Recognise person, place and organisation names and dates (as phrases).
const int32_t kModeNeName = 0x00000100;
// Replace traditional characters by simplified ones.
const int32_t kModeTraditionalToSimplified = 0x00000200;
// With kModeNeName: keep a recognised person name as one basic word.
const int32_t kModeNePerWhole = 0x00010000;
// With kModeNeName: keep a recognised organisation name as one basic word.
const int32_t kModeNeOrgWhole = 0x00020000;
// With kModeNeName: keep a recognised place name as one basic word.
const int32_t kModeNeLocWhole = 0x00040000;
// ASCII runs are cut only at spaces and tabs (wins over kModeUseSimpleMode).
const int32_t kModeUseWholeMode = 0x00080000;
// ASCII words are found by the English/pinyin language model.
const int32_t kModeUseAsciiLmMode = 0x01000000;
// With kModeUseAsciiLmMode: also try a pinyin reading.
const int32_t kModeUseAsciiLmPinyin = 0x02000000;
// ASCII runs are cut into runs of letters, of digits and of one symbol.
const int32_t kModeUseSimpleMode = 0x08000000;
// Propose words the lexicon lacks (names, new words) from the character
// model "unk_model.dat" of the data directory, loaded by the first sentence
// that needs it; the best-path search decides between them and the
// dictionary's words. Segmenting fails while the model cannot be loaded.
const int32_t kModeFindUnknownWords = 0x00400000;
// Report the additional rules' alternative segmentations.
const int32_t kModeUseAdditionalRuleMode = 0x10000000;
// Reshape recognised person names with the name adjustor.
const int32_t kModeAdjustNe = 0x20000000;

// The command-line segmenter's default: tagging, full-width to half-width,
// traditional to simplified, full ASCII segmentation, and the unknown-word
// stage, which finds most of the names and new words the lexicon lacks.
// Entity recognition stays off: it leaves words and tags as good as they
// were and triples the time.
const int32_t kModeCommandLineDefault =
    kModePosTag | kModeSbcToDbc | kModeTraditionalToSimplified | kModeFindUnknownWords;
// The value the Python module's ZorvSegmenter.GetDefaultMode returns:
// tagging, full-width to half-width, entity recognition with whole person
// names, traditional to simplified, simple ASCII mode, and the bits 0x2000
// and 0x200000, which no stage reads.
const int32_t kModeModuleDefault = 0x08212314;

}  // namespace new_seg

#endif  // ZORVSEG_MODE_H_
