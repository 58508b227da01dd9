// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "audio/SoundFile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <sndfile.h>
#include <string_view>

#include "audio/Texts.h"

namespace audio {

namespace {

constexpr qint64 kChunkFrames = 4096;
constexpr int kMaxRate = 65535;
constexpr qint64 kBytesPerSample = 2;

// libsndfile shortens a sound-data chunk whose size runs past the end of the
// file to what the file holds and notes the claim in its log, as
// "data : <claimed> (should be <held>)" for WAV and "SSND : ..." for AIFF.
bool HeaderClaimsMoreThanFileHolds(SNDFILE* file) {
  std::array<char, 8192> log{};
  sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
  std::string_view rest(log.data());
  while (!rest.empty()) {
    const auto end = std::min(rest.find('\n'), rest.size());
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
    if ((line.starts_with("data :") || line.starts_with("SSND :")) && line.find("(should be") != std::string_view::npos)
      return true;
  }
  return false;
}

// A normalised sample as 16 bits: full scale is 32768, beyond it clips
// (lossy decoders overshoot), and a NaN is silence.
qint16 ToInt16(float v) {
  if (std::isnan(v)) return 0;
  return static_cast<qint16>(std::lrint(std::clamp(v * 32768.0f, -32768.0f, 32767.0f)));
}

}  // namespace

std::unique_ptr<TSoundFile> TSoundFile::Open(const QString& path, std::string& error) {
  auto refuse = [&](const std::string& why) {
    error = text::FileRefused(path, why);
    return nullptr;
  };

  // Only regular files: opening a FIFO would wait for a writer.
  const QFileInfo info(path);
  if (!info.exists()) return refuse(text::kFileMissing);
  if (info.isDir()) return refuse(text::kFileIsDirectory);
  if (!info.isFile()) return refuse(text::kFileNotRegular);

  SF_INFO sf{};
  SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &sf);
  if (file == nullptr) return refuse(text::kFileNotSound + std::string(sf_strerror(nullptr)));
  std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> guard(file, sf_close);

  if (sf.channels < 1 || sf.channels > 2) return refuse(text::FileChannels(sf.channels));
  if (sf.samplerate < 1 || sf.samplerate > kMaxRate) return refuse(text::FileRate(sf.samplerate));
  // libsndfile gives SF_COUNT_MAX when it cannot tell the length (an Ogg
  // stream without its end, for one).
  if (sf.frames > std::numeric_limits<qint64>::max() / (sf.channels * kBytesPerSample))
    return refuse(text::kFileLengthUnknown);
  if (sf.frames <= 0) return refuse(text::kFileEmpty);
  if (HeaderClaimsMoreThanFileHolds(file)) return refuse(text::kFileCutShort);
  // Integer data comes as sample / 2^(bits-1), float data as stored.
  sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);

  std::unique_ptr<TSoundFile> sound(new TSoundFile(guard.release(), path, sf.channels, sf.samplerate, sf.frames));
  // Formats whose length comes from the header alone (FLAC's stream info)
  // show a cut only when the last frame cannot be reached.
  std::array<char, 2 * kBytesPerSample> last{};
  if (sf_seek(file, sf.frames - 1, SEEK_SET) != sf.frames - 1) return refuse(text::kFileEndUnreachable);
  const qint64 got = sound->ReadChunk(last.data(), 1);
  if (got == 0) return refuse(text::kFileEndUnreachable);
  if (got < 0 || !sound->open(ReadOnly)) {
    error = sound->errorString().toStdString();
    return nullptr;
  }
  return sound;
}

TSoundFile::TSoundFile(sf_private_tag* file, const QString& path, int channels, int sampleRate, qint64 frames)
    : file_(file),
      path_(path),
      channels_(channels),
      sampleRate_(sampleRate),
      frames_(frames),
      blockAlign_(channels * kBytesPerSample),
      floats_(static_cast<std::size_t>(kChunkFrames * channels)) {}

TSoundFile::~TSoundFile() { sf_close(file_); }

bool TSoundFile::open(OpenMode mode) {
  if (!(mode & ReadOnly) || (mode & (WriteOnly | Append | Truncate))) {
    setErrorString(text::FileOnlyForReading(path_));
    return false;
  }
  if (sf_seek(file_, 0, SEEK_SET) != 0) {
    Fail(text::FileCannotRewind(path_, Reason()));
    return false;
  }
  failed_ = false;
  return QIODevice::open(mode | Unbuffered);
}

bool TSoundFile::seek(qint64 pos) {
  if (!isOpen() || pos < 0 || pos > size()) return false;
  const qint64 frame = pos / blockAlign_;
  if (sf_seek(file_, frame, SEEK_SET) != frame) {
    Fail(text::FileCannotSeek(path_, frame, Reason()));
    return false;
  }
  failed_ = false;
  return QIODevice::seek(frame * blockAlign_);
}

qint64 TSoundFile::readData(char* data, qint64 maxSize) {
  if (failed_) return -1;
  // Unbuffered, so pos() is where libsndfile stands, on a frame boundary.
  const qint64 at = pos() / blockAlign_;
  const qint64 wanted = std::min(maxSize / blockAlign_, frames_ - at);
  qint64 done = 0;
  while (done < wanted) {
    const qint64 step = std::min(wanted - done, kChunkFrames);
    const qint64 got = ReadChunk(data + done * blockAlign_, step);
    if (got < 0) break;
    done += got;
    if (got < step) {
      Fail(text::FileEndsEarly(path_, at + done, frames_));
      break;
    }
  }
  if (done == 0 && failed_) return -1;
  return done * blockAlign_;
}

qint64 TSoundFile::writeData(const char*, qint64) { return -1; }

// Everything is read as floats, because libsndfile's 16-bit reads pass
// float data through unscaled and wrap a lossy decoder's overshoot around.
qint64 TSoundFile::ReadChunk(char* out, qint64 count) {
  const sf_count_t got = sf_readf_float(file_, floats_.data(), count);
  if (sf_error(file_) != SF_ERR_NO_ERROR) {
    Fail(text::FileUnreadable(path_, Reason()));
    return -1;
  }
  const qint64 samples = got * channels_;
  for (qint64 i = 0; i < samples; ++i)
    qToLittleEndian<qint16>(ToInt16(floats_[static_cast<std::size_t>(i)]), out + i * kBytesPerSample);
  return got;
}

QString TSoundFile::Reason() const {
  const int code = sf_error(file_);
  return code == SF_ERR_NO_ERROR ? QString() : QStringLiteral(": ") + QString::fromUtf8(sf_error_number(code));
}

void TSoundFile::Fail(const QString& why) {
  failed_ = true;
  setErrorString(why);
}

}  // namespace audio
