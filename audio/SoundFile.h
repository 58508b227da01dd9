// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// TSoundFile: a sound file (WAV, FLAC, Ogg, AIFF, ... whatever libsndfile
// reads) served as the raw PCM the player plays: interleaved signed 16-bit
// little-endian samples, one frame = channels() * 2 bytes. Read-only and
// random-access: size() is frames() * channels() * 2 and seek() moves by
// whole frames.
//
// Open() accepts only files the player can play (mono or stereo, 1 to 65535
// Hz, at least one frame, as long as their header says); anything else is
// refused with a message naming the file and the reason.
#pragma once

#include <QIODevice>
#include <QString>
#include <memory>
#include <string>
#include <vector>

struct sf_private_tag;  // libsndfile's SNDFILE

namespace audio {

class TSoundFile : public QIODevice {
 public:
  // The file at `path`, open for reading at its first frame; null with the
  // reason in `error` when it cannot be played.
  static std::unique_ptr<TSoundFile> Open(const QString& path, std::string& error);
  ~TSoundFile() override;
  TSoundFile(const TSoundFile&) = delete;
  TSoundFile& operator=(const TSoundFile&) = delete;

  // Read-only modes only (always unbuffered); starts again at the first frame.
  bool open(OpenMode mode) override;
  bool isSequential() const override { return false; }
  qint64 size() const override { return frames_ * blockAlign_; }
  // Moves to the frame holding byte `pos`: a position inside a frame goes
  // back to that frame's first byte, and pos() then reports that. False for
  // a position outside 0..size() or when libsndfile cannot seek there (reads
  // then fail until a seek succeeds).
  bool seek(qint64 pos) override;

  int channels() const noexcept { return channels_; }
  int sampleRate() const noexcept { return sampleRate_; }
  qint64 frames() const noexcept { return frames_; }

 protected:
  // Whole frames only: as many as fit in `maxSize` (none when it is smaller
  // than one frame), 0 at the end. -1 with errorString() set when libsndfile
  // fails or the data ends before frames(); a read that had already
  // delivered frames returns those first and the failure comes next time.
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char* data, qint64 maxSize) override;

 private:
  TSoundFile(sf_private_tag* file, const QString& path, int channels, int sampleRate, qint64 frames);
  // Reads up to `count` frames (at most a chunk) into `out`; the frames
  // read, or -1 with the failure set.
  qint64 ReadChunk(char* out, qint64 count);
  // ": " and libsndfile's text of its last failure, or nothing.
  QString Reason() const;
  void Fail(const QString& why);

  sf_private_tag* file_;
  const QString path_;
  const int channels_;
  const int sampleRate_;
  const qint64 frames_;
  const qint64 blockAlign_;
  // One chunk of samples as libsndfile's normalised floats; see ReadChunk.
  std::vector<float> floats_;
  bool failed_ = false;
};

}  // namespace audio
