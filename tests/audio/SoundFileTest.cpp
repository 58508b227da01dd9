// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Sound files as the player's 16-bit PCM: the formats libsndfile writes read
// back sample for sample, whole frames and frame seeks, every kind of file
// the player cannot play refused with its reason, and damaged files that
// neither crash nor hang.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <sndfile.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "audio/SoundFile.h"
#include "tests/support/WavFile.h"

using audio::TSoundFile;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Samples = std::vector<std::int16_t>;

class SoundFiles : public ::testing::Test {
 protected:
  QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

  static void Save(const QString& path, const Bytes& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())),
              static_cast<qint64>(bytes.size()));
  }
  static Bytes Load(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray all = f.readAll();
    return Bytes(all.begin(), all.end());
  }

  // Writes interleaved samples with libsndfile; float formats get them as
  // sample / 32768, the normalised values a float file holds.
  static void Write(const QString& path, int format, int channels, int rate, const Samples& samples) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
    const int sub = format & SF_FORMAT_SUBMASK;
    if (sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_VORBIS) {
      std::vector<float> floats(samples.begin(), samples.end());
      for (float& v : floats) v /= 32768.0f;
      EXPECT_EQ(sf_writef_float(f, floats.data(), frames), frames);
    } else {
      EXPECT_EQ(sf_writef_short(f, samples.data(), frames), frames);
    }
    sf_close(f);
  }

  QTemporaryDir dir_;
};

// A WAV of `frames` frames of made-up 16-bit data; `dataClaim` overrides
// the data chunk's size field.
Bytes Wav(unsigned channels, unsigned rate, std::uint32_t frames, std::int64_t dataClaim = -1) {
  std::vector<char> pcm(frames * channels * 2);
  for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<char>(i * 37);
  const std::vector<char> file = quorvel_test::WavBytes(channels, rate, pcm, dataClaim);
  return Bytes(file.begin(), file.end());
}

// Every 16-bit value class: both extremes, zero, and a spread of the rest.
Samples Spread(std::size_t count) {
  Samples s(count);
  for (std::size_t i = 0; i < count; ++i) s[i] = static_cast<std::int16_t>(i * 7919 + 13);
  s[0] = std::numeric_limits<std::int16_t>::min();
  s[1] = std::numeric_limits<std::int16_t>::max();
  s[2] = 0;
  return s;
}

// Sines at half scale, 440 Hz on the first channel and 660 Hz on the second.
Samples Tones(std::size_t frames, int channels, int rate) {
  Samples s;
  for (std::size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      s.push_back(static_cast<std::int16_t>(
          std::lrint(16384 * std::sin(2 * std::numbers::pi * (440 + 220 * c) * static_cast<double>(i) / rate))));
  return s;
}

Samples Decode(const QByteArray& bytes) {
  Samples s(static_cast<std::size_t>(bytes.size()) / 2);
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = qFromLittleEndian<qint16>(bytes.constData() + 2 * i);
  return s;
}

std::unique_ptr<TSoundFile> OpenOrFail(const QString& path) {
  std::string error;
  auto f = TSoundFile::Open(path, error);
  EXPECT_NE(f, nullptr) << error;
  return f;
}

struct FormatCase {
  const char* name;
  int format;
  int channels;
  int rate;
  // What a written sample reads back as.
  std::function<std::int16_t(std::int16_t)> expected;
};

TEST_F(SoundFiles, LosslessFormatsServeTheWrittenSamples) {
  const auto same = [](std::int16_t s) { return s; };
  const FormatCase cases[] = {
      {"u8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 8000,
       [](std::int16_t s) { return static_cast<std::int16_t>((s >> 8) * 256); }},
      {"s16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, same},
      {"s24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 48000, same},
      {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 22050, same},
      {"s16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, same},
      {"s16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 65535, same},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Samples written = Spread(3001 * static_cast<std::size_t>(c.channels));
    Write(Path(c.name), c.format, c.channels, c.rate, written);
    auto f = OpenOrFail(Path(c.name));
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->channels(), c.channels);
    EXPECT_EQ(f->sampleRate(), c.rate);
    EXPECT_EQ(f->frames(), 3001);
    EXPECT_EQ(f->size(), 3001 * c.channels * 2);
    EXPECT_FALSE(f->isSequential());
    EXPECT_FALSE(f->isWritable());

    const Samples read = Decode(f->readAll());
    ASSERT_EQ(read.size(), written.size());
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < read.size(); ++i)
      if (read[i] != c.expected(written[i]) && wrong++ < 3)
        ADD_FAILURE() << "sample " << i << ": " << read[i] << " for " << written[i];
    EXPECT_TRUE(f->atEnd());
    char byte[4];
    EXPECT_EQ(f->read(byte, sizeof byte), 0);
  }
}

TEST_F(SoundFiles, OggVorbisComesCloseAndClipsItsOvershoot) {
  const Samples tones = Tones(22050, 2, 44100);
  Write(Path("tones.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, tones);
  auto f = OpenOrFail(Path("tones.ogg"));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->frames(), 22050);
  const Samples read = Decode(f->readAll());
  ASSERT_EQ(read.size(), tones.size());
  double error = 0;
  for (std::size_t i = 0; i < read.size(); ++i) error += std::pow(read[i] - tones[i], 2);
  EXPECT_LT(std::sqrt(error / static_cast<double>(read.size())), 160) << "about -40 dB of the tones";

  // A full-scale square wave decodes with peaks beyond full scale; they
  // must clip, not wrap to the other sign.
  Samples square(44100);
  for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 50) % 2 ? 32700 : -32700;
  Write(Path("square.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, 1, 44100, square);
  auto q = OpenOrFail(Path("square.ogg"));
  ASSERT_NE(q, nullptr);
  const Samples decoded = Decode(q->readAll());
  ASSERT_EQ(decoded.size(), square.size());
  std::size_t wrapped = 0;
  for (std::size_t i = 0; i < decoded.size(); ++i) wrapped += std::abs(decoded[i] - square[i]) > 32768;
  EXPECT_EQ(wrapped, 0u);
}

TEST_F(SoundFiles, FloatDataClipsAtFullScaleAndNanIsSilence) {
  SF_INFO info{};
  info.channels = 1;
  info.samplerate = 8000;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* out = sf_open(QFile::encodeName(Path("loud.wav")).constData(), SFM_WRITE, &info);
  ASSERT_NE(out, nullptr);
  const float values[] = {1.5f, -1.5f, 1.0f, -1.0f, 0.5f, std::numeric_limits<float>::quiet_NaN(), -0.25f};
  sf_writef_float(out, values, std::size(values));
  sf_close(out);

  auto f = OpenOrFail(Path("loud.wav"));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Decode(f->readAll()), (Samples{32767, -32768, 32767, -32768, 16384, 0, -8192}));
}

TEST_F(SoundFiles, BytesAreLittleEndianFramesInterleavedAndWhole) {
  Write(Path("lr.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, {0x1234, -2, 7, 8, 9, 10});
  auto f = OpenOrFail(Path("lr.wav"));
  ASSERT_NE(f, nullptr);
  char b[8] = {};
  EXPECT_EQ(f->read(b, 3), 0) << "less than one frame asked: nothing";
  EXPECT_EQ(f->pos(), 0);
  EXPECT_EQ(f->read(b, 7), 4) << "one frame of the 7 bytes";
  EXPECT_EQ(Bytes(b, b + 4), (Bytes{0x34, 0x12, 0xFE, 0xFF}));
  EXPECT_EQ(f->pos(), 4);
  EXPECT_EQ(f->read(b, 8), 8);
  EXPECT_EQ(f->read(b, 8), 0);

  // Odd-sized reads put the stream together again without a gap.
  const Samples all = Spread(2 * 5000);
  Write(Path("long.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, all);
  auto g = OpenOrFail(Path("long.wav"));
  ASSERT_NE(g, nullptr);
  QByteArray joined;
  std::vector<char> chunk(20001);  // more than one of the file's internal chunks
  for (qint64 step : {1001, 5, 20001, 3, 777}) {
    const qint64 n = g->read(chunk.data(), step);
    ASSERT_EQ(n % 4, 0);
    joined.append(chunk.data(), n);
  }
  joined.append(g->readAll());
  EXPECT_EQ(Decode(joined), all);
}

TEST_F(SoundFiles, SeeksGoByWholeFrames) {
  const Samples all = Spread(2 * 10000);
  Write(Path("seek.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, all);
  auto f = OpenOrFail(Path("seek.flac"));
  ASSERT_NE(f, nullptr);
  char b[4];
  auto frameAt = [&](qint64 frame) {
    return Samples{all[static_cast<std::size_t>(2 * frame)], all[static_cast<std::size_t>(2 * frame + 1)]};
  };

  for (qint64 frame : {9999, 0, 4096, 4095, 5000, 1}) {
    SCOPED_TRACE(frame);
    ASSERT_TRUE(f->seek(frame * 4));
    EXPECT_EQ(f->pos(), frame * 4);
    ASSERT_EQ(f->read(b, 4), 4);
    EXPECT_EQ(Decode(QByteArray(b, 4)), frameAt(frame));
  }
  ASSERT_TRUE(f->seek(4 * 123 + 3)) << "inside frame 123";
  EXPECT_EQ(f->pos(), 4 * 123);
  ASSERT_EQ(f->read(b, 4), 4);
  EXPECT_EQ(Decode(QByteArray(b, 4)), frameAt(123));

  ASSERT_TRUE(f->seek(f->size()));
  EXPECT_TRUE(f->atEnd());
  EXPECT_EQ(f->read(b, 4), 0);
  EXPECT_FALSE(f->seek(f->size() + 1));
  EXPECT_FALSE(f->seek(-1));
  EXPECT_EQ(f->pos(), f->size()) << "a refused seek stays put";

  ASSERT_TRUE(f->seek(0));
  EXPECT_EQ(Decode(f->readAll()), all);

  // Reopening starts again at the first frame; write modes are refused.
  f->close();
  EXPECT_FALSE(f->open(QIODevice::ReadWrite));
  EXPECT_FALSE(f->seek(0)) << "closed";
  ASSERT_TRUE(f->open(QIODevice::ReadOnly));
  EXPECT_EQ(f->pos(), 0);
  ASSERT_EQ(f->read(b, 4), 4);
  EXPECT_EQ(Decode(QByteArray(b, 4)), frameAt(0));
}

TEST_F(SoundFiles, DamageInsideTheDataFailsTheReadWithTheReason) {
  const Samples tones = Tones(20000, 1, 44100);
  Write(Path("good.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 44100, tones);
  Bytes flac = Load(Path("good.flac"));
  ASSERT_GT(flac.size(), 1000u);
  for (std::size_t i = flac.size() / 2; i < flac.size() / 2 + 200; ++i) flac[i] ^= 0x5A;
  Save(Path("damaged.flac"), flac);

  auto f = OpenOrFail(Path("damaged.flac"));
  ASSERT_NE(f, nullptr);
  std::vector<char> b(static_cast<std::size_t>(f->size()));
  qint64 total = 0, n = 0;
  while ((n = f->read(b.data() + total, 4096)) > 0) total += n;
  EXPECT_EQ(n, -1);
  EXPECT_GT(total, 0);
  EXPECT_LT(total, f->size());
  EXPECT_EQ(Decode(QByteArray(b.data(), 2000)), Samples(tones.begin(), tones.begin() + 1000));
  const std::string why = f->errorString().toStdString();
  EXPECT_NE(why.find("damaged.flac\" could not be read: "), std::string::npos) << why;
  EXPECT_EQ(f->read(b.data(), 4096), -1) << "failed until a seek";

  ASSERT_TRUE(f->seek(0));
  ASSERT_EQ(f->read(b.data(), 2000), 2000);
  EXPECT_EQ(Decode(QByteArray(b.data(), 2000)), Samples(tones.begin(), tones.begin() + 1000));
}

TEST_F(SoundFiles, AFileCutWhileOpenEndsWithAFailureNotAnEarlyEnd) {
  const Samples all = Spread(2 * 3000);
  Write(Path("shrinks.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, all);
  auto f = OpenOrFail(Path("shrinks.wav"));
  ASSERT_NE(f, nullptr);
  ASSERT_TRUE(QFile::resize(Path("shrinks.wav"), 44 + 4 * 1000));

  std::vector<char> b(static_cast<std::size_t>(f->size()));
  const qint64 n = f->read(b.data(), f->size());
  EXPECT_EQ(n, 4 * 1000) << "what is left comes first";
  EXPECT_EQ(Decode(QByteArray(b.data(), 4 * 1000)), Samples(all.begin(), all.begin() + 2 * 1000));
  EXPECT_EQ(f->read(b.data(), f->size()), -1);
  EXPECT_TRUE(f->errorString().endsWith(QStringLiteral("shrinks.wav\" ends after 1000 of its 3000 frames")))
      << f->errorString().toStdString();
}

struct BadFile {
  const char* name;
  std::function<void(const QString& path)> make;
  const char* reason;  // the distinguishing part of the message
};

TEST_F(SoundFiles, FilesThePlayerCannotPlayAreRefusedWithTheirReason) {
  const auto bytes = [](Bytes b) { return [b](const QString& path) { Save(path, b); }; };
  Bytes truncatedHeader = Wav(1, 44100, 100);
  truncatedHeader.resize(20);
  Bytes random(1000);
  std::mt19937 rng(7);
  for (auto& b : random) b = static_cast<std::uint8_t>(rng());
  const auto written = [](int format, int channels, std::size_t frames, double keep) {
    return [=](const QString& path) {
      Write(path, format, channels, 44100, Tones(frames, channels, 44100));
      Bytes b = Load(path);
      b.resize(static_cast<std::size_t>(static_cast<double>(b.size()) * keep));
      Save(path, b);
    };
  };

  const BadFile cases[] = {
      {"header.wav", bytes(truncatedHeader), "cannot be read as sound: Error in WAV/W64/RF64 file"},
      {"past-end.wav", bytes(Wav(1, 44100, 100, 1000)), "is cut short: it holds less sound than its header claims"},
      {"cut.aiff", written(SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 1000, 0.6), "is cut short: it holds less"},
      {"cut.flac", written(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 20000, 0.5),
       "is cut short or damaged: its last frame cannot be reached"},
      // Cut inside its audio pages: cut inside the headers, libsndfile's Ogg
      // reader leaks what it had set up.
      {"cut.ogg", written(SF_FORMAT_OGG | SF_FORMAT_VORBIS, 1, 20000, 0.9), "has no known length"},
      {"no-channels.wav", bytes(Wav(0, 44100, 100)), "cannot be read as sound: Channel count is zero"},
      {"no-rate.wav", bytes(Wav(1, 0, 100)), "cannot be read as sound: "},
      {"six.wav", bytes(Wav(6, 44100, 100)), "has 6 channels; only mono and stereo can be played"},
      {"96k.wav", bytes(Wav(2, 96000, 100)),
       "has a rate of 96000 Hz, which does not fit: the player's rate is 1 to 65535 Hz"},
      {"65536.wav", bytes(Wav(1, 65536, 100)), "has a rate of 65536 Hz"},
      {"random.wav", bytes(random), "cannot be read as sound: Format not recognised"},
      {"empty.wav", bytes({}), "cannot be read as sound: Format not recognised"},
      {"silent.wav", bytes(Wav(2, 44100, 0)), "has no sound frames"},
      {"folder.wav", [](const QString& path) { ASSERT_TRUE(QDir().mkdir(path)); }, "is a directory, not a sound file"},
      {"fifo.wav", [](const QString& path) { ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0); },
       "is not a regular file"},
      {"missing.wav", [](const QString&) {}, "does not exist"},
  };
  for (const BadFile& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = Path(c.name);
    c.make(path);
    std::string error;
    EXPECT_EQ(TSoundFile::Open(path, error), nullptr);
    EXPECT_TRUE(error.starts_with("\"" + path.toStdString() + "\" ")) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

// Damaged copies of small WAV, FLAC and AIFF files: each either opens with a
// playable format and reads within its size, or is refused with a reason.
TEST_F(SoundFiles, DamagedFilesNeitherCrashNorHang) {
  struct Base {
    const char* name;
    int format;
  };
  const Base bases[] = {{"m.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                        {"m.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                        {"m.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24}};
  std::mt19937 rng(20240611);
  auto below = [&rng](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
  int opened = 0, refused = 0;
  for (const Base& base : bases) {
    // Several FLAC frames of 4096, so that damage can sit before the last.
    Write(Path(base.name), base.format, 2, 22050, Tones(10000, 2, 22050));
    const Bytes original = Load(Path(base.name));
    ASSERT_FALSE(original.empty());
    const QString path = Path("mutant");
    for (int m = 0; m < 300; ++m) {
      Bytes b = original;
      // Mostly in the headers, where the parser decides what it reads.
      const std::size_t span = below(3) == 0 ? b.size() : std::min<std::size_t>(b.size(), 96);
      switch (below(4)) {
        case 0:
          for (std::size_t k = 1 + below(8); k > 0; --k) b[below(span)] ^= static_cast<std::uint8_t>(1u << below(8));
          break;
        case 1:
          for (std::size_t k = 1 + below(4), at = below(span); k > 0 && at < b.size(); --k, ++at)
            b[at] = static_cast<std::uint8_t>(rng());
          break;
        case 2:
          b[below(span)] = static_cast<std::uint8_t>(below(2) ? 0xFF : 0x00);
          b[below(span)] = static_cast<std::uint8_t>(rng());
          break;
        default:
          b.resize(below(b.size()));
          break;
      }
      Save(path, b);
      SCOPED_TRACE(std::string(base.name) + " mutant " + std::to_string(m));

      std::string error;
      auto f = TSoundFile::Open(path, error);
      if (f == nullptr) {
        EXPECT_FALSE(error.empty());
        ++refused;
        continue;
      }
      ++opened;
      ASSERT_GE(f->channels(), 1);
      ASSERT_LE(f->channels(), 2);
      ASSERT_GE(f->sampleRate(), 1);
      ASSERT_LE(f->sampleRate(), 65535);
      ASSERT_GT(f->frames(), 0);
      const qint64 align = f->channels() * 2;
      ASSERT_EQ(f->size(), f->frames() * align);

      std::vector<char> buffer(8192);
      qint64 total = 0;
      for (;;) {
        const qint64 n = f->read(buffer.data(), static_cast<qint64>(1 + below(buffer.size())));
        if (n <= 0) {
          if (n < 0) {
            EXPECT_FALSE(f->errorString().isEmpty());
          }
          break;
        }
        ASSERT_EQ(n % align, 0);
        total += n;
        ASSERT_LE(total, f->size());
      }
      for (int s = 0; s < 5; ++s) {
        const qint64 to = static_cast<qint64>(below(static_cast<std::size_t>(f->size()) + 1));
        if (!f->seek(to)) {
          EXPECT_FALSE(f->errorString().isEmpty());
          continue;
        }
        const qint64 at = f->pos();
        ASSERT_EQ(at, to - to % align);
        const qint64 n = f->read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (n < 0) {
          EXPECT_FALSE(f->errorString().isEmpty());
        }
        if (n <= 0) continue;
        ASSERT_EQ(n % align, 0);
        ASSERT_LE(at + n, f->size());
      }
    }
  }
  // Both outcomes occur, so the mutations reach past the first checks.
  EXPECT_GT(opened, 100);
  EXPECT_GT(refused, 100);
}

}  // namespace
