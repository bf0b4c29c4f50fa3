#include "common/ManifestWriter.h"

#include <cstdio>
#include <fstream>

#include "dict/DictFile.h"
#include "driver/DataManifest.h"
#include "zorvseg.h"

namespace zorvseg_tools {

namespace {

using new_seg::DataManifest;

const char kWhat[] = "zorvseg-build manifest";

bool Fail(const std::string& path, const std::string& message) {
  new_seg::dict_file::ReportFileError(kWhat, path, message);
  return false;
}

bool AddFile(const std::string& path, const std::string& name, DataManifest::File* file) {
  std::string error;
  file->name = name;
  if (!DataManifest::ChecksumFile(path, &file->size, &file->checksum, &error)) {
    return Fail(path, error);
  }
  return true;
}

bool IsWhiteSpaceWord(const char* word) {
  for (; *word != '\0'; ++word) {
    if (*word != ' ' && *word != '\t' && *word != '\r' && *word != '\n') return false;
  }
  return true;
}

// The basic words the data directory gives each line of the sample text.
bool SegmentSamples(const ManifestOptions& options, DataManifest* manifest) {
  std::ifstream in(options.samples, std::ios::binary);
  if (!in) return Fail(options.samples, "cannot open the file");
  if (!new_seg::LxInitSeg(options.data_dir.c_str())) return Fail(options.data_dir, "cannot load");
  new_seg::HANDLE handle = new_seg::LxCreateSegHandle(options.sample_mode);
  bool ok = handle != nullptr;
  std::string line;
  while (ok && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.find('\t') != std::string::npos) {
      ok = Fail(options.samples, "a sample sentence holds a TAB");
      break;
    }
    DataManifest::Sample sample;
    sample.mode = options.sample_mode;
    sample.text = line;
    ok = new_seg::LxSegment(handle, line.data(), line.size(), new_seg::kCharsetUTF8);
    for (size_t i = 0; ok && i < new_seg::LxGetResultCnt(handle); ++i) {
      const char* word = new_seg::LxGetWordAt(handle, i);
      if (!IsWhiteSpaceWord(word)) sample.words.push_back(word);
    }
    manifest->samples.push_back(sample);
  }
  if (!ok && handle == nullptr) Fail(options.data_dir, "cannot create a handle");
  new_seg::LxCloseSegHandle(handle);
  new_seg::LxUnInitSeg();
  return ok;
}

}  // namespace

bool DropManifestListing(const std::string& data_file) {
  size_t slash = data_file.rfind('/');
  std::string dir = slash == std::string::npos ? "./" : data_file.substr(0, slash + 1);
  std::string name = data_file.substr(slash == std::string::npos ? 0 : slash + 1);
  DataManifest manifest;
  bool present = false;
  std::string error;
  DataManifest::Read(dir, &manifest, &present, &error);  // an unreadable one goes too
  if (!present) return true;
  bool listed = !error.empty();
  for (const DataManifest::File& file : manifest.files) listed = listed || file.name == name;
  if (!listed) return true;
  std::string path = dir + DataManifest::kFileName;
  if (std::remove(path.c_str()) != 0) return Fail(path, "cannot remove the outdated manifest");
  std::fprintf(stderr, "%s: removed: it describes the %s this run rewrites\n", path.c_str(),
               name.c_str());
  return true;
}

bool ParseNameValue(const std::string& arg, std::pair<std::string, std::string>* pair) {
  size_t equals = arg.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  pair->first = arg.substr(0, equals);
  pair->second = arg.substr(equals + 1);
  return pair->first.find('\t') == std::string::npos &&
         pair->second.find_first_of("\t\n") == std::string::npos;
}

int WriteDataManifest(const ManifestOptions& options) {
  std::string dir = options.data_dir;
  if (dir.empty() || dir.back() != '/') dir += '/';
  DataManifest manifest;
  for (const auto& source : options.sources) {
    DataManifest::File file;
    if (!AddFile(source.second, source.second, &file)) return 1;
    manifest.notes.push_back("source\t" + source.first + "\t" + source.second + "\t" +
                             std::to_string(file.size) + "\t" +
                             DataManifest::FormatChecksum(file.checksum));
  }
  for (const auto& setting : options.settings) {
    manifest.notes.push_back("option\t" + setting.first + "\t" + setting.second);
  }
  for (const std::string& name : options.files) {
    manifest.files.emplace_back();
    if (!AddFile(dir + name, name, &manifest.files.back())) return 1;
  }
  // An earlier manifest would refuse the files it does not describe.
  std::string path = dir + DataManifest::kFileName;
  std::remove(path.c_str());
  if (!options.samples.empty() && !SegmentSamples(options, &manifest)) return 1;

  std::string text = manifest.Format();
  bool written = new_seg::dict_file::WriteThroughTemporary(kWhat, path, [&](std::FILE* out) {
    return std::fwrite(text.data(), 1, text.size(), out) == text.size();
  });
  if (!written) return 1;
  std::printf("manifest %s: %zu files, %zu samples\n", path.c_str(), manifest.files.size(),
              manifest.samples.size());
  return 0;
}

}  // namespace zorvseg_tools
