// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a scope window remembers between runs, in a configuration directory
// of the test's own: kept per title, and nothing but defaults from a file
// that is damaged, foreign or out of range.
#include "PrivateConfig.h"
#include "display/PointRing.h"
#include "display/ui/ScopeSettingsStore.h"
#include "display/ui/ScopeWindow.h"
#include "display/ui/SpectrumView.h"
#include "display/ui/TraceView.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QScreen>
#include <QSettings>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>

using namespace quorvel::display;

namespace {

class ScopeSettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(config_.isValid());
    ASSERT_TRUE(ScopeSettingsStore::filePath().startsWith(config_.path()));
  }

  // A window as ScopeCreate makes it, given what was remembered.
  std::unique_ptr<ScopeWindow> open(const char* title) {
    auto w = std::make_unique<ScopeWindow>(ScopeConfig::fromCreate(0, 0, title), ring_, 0);
    ScopeSettingsStore::restore(*w);
    return w;
  }
  // A window as it is before anything is remembered.
  std::unique_ptr<ScopeWindow> fresh(const char* title) {
    return std::make_unique<ScopeWindow>(ScopeConfig::fromCreate(0, 0, title), ring_, 0);
  }
  void writeFile(const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(ScopeSettingsStore::filePath()).path());
    QFile f(ScopeSettingsStore::filePath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }
  void expectDefaults(const char* title) {
    const auto w = open(title);
    const auto d = fresh(title);
    EXPECT_EQ(w->geometry(), d->geometry()) << title;
    EXPECT_TRUE(w->traceView().settings() == d->traceView().settings()) << title;
    EXPECT_TRUE(w->spectrumView().settings() == d->spectrumView().settings()) << title;
  }

  test::PrivateConfig config_;
  PointRing ring_{1024};
};

QRect screenArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

}  // namespace

TEST_F(ScopeSettingsStoreTest, PlaceAndSettingsComeBackUnderTheSameTitleOnly) {
  const QRect place = QRect(screenArea().topLeft() + QPoint(37, 51), QSize(410, 290));
  TraceSettings t;
  t.spanMs = 200;
  t.zoom = 8;
  t.mode = TriggerMode::Normal;
  t.slope = Slope::Falling;
  t.level = -0.1;
  t.position = 0.2;
  t.holdOffMs = 50;
  SpectrumSettings f;
  f.logFrequency = true;
  f.level = LevelRange{-20, 80};
  f.holdFallDbPerSecond = 20;
  f.averageFrames = 16;
  f.layout = SpectrumLayout::Spectrogram;
  f.harmonics = true;
  {
    auto w = fresh("Bench 1/2");
    w->setGeometry(place);
    w->setWindowState(Qt::WindowMaximized);
    w->traceView().setSettings(t);
    w->spectrumView().setSettings(f);
    w->setHealthShown(false);
    ScopeSettingsStore::save(*w);
    // Saved after it: a title that a slash would make its parent group.
    auto other = fresh("Bench 1");
    other->traceView().setSettings(TraceSettings{.zoom = 2});
    ScopeSettingsStore::save(*other);
  }
  EXPECT_TRUE(QFileInfo(QDir(config_.path()).filePath("quorvel-audio/scopes.conf")).isFile());

  const auto again = open("Bench 1/2");
  EXPECT_TRUE(again->isMaximized());
  EXPECT_EQ(again->normalGeometry(), place) << "the place it had before it was maximized";
  EXPECT_TRUE(again->traceView().settings() == t);
  EXPECT_TRUE(again->spectrumView().settings() == f);
  EXPECT_FALSE(again->healthShown());
  EXPECT_EQ(open("Bench 1")->traceView().settings().zoom, 2);
  EXPECT_TRUE(open("Bench 1")->healthShown());
  for (const char* title : {"Bench 1%2F2", "Signal"}) expectDefaults(title);
}

TEST_F(ScopeSettingsStoreTest, DamagedOrForeignFilesGiveDefaultsAndAreReplacedOnSave) {
  // Bytes that are no settings at all.
  QByteArray noise(4096, '\0');
  QRandomGenerator rng(7);
  for (char& c : noise) c = char(rng.bounded(256));
  writeFile(noise);
  expectDefaults("Signal");
  {
    auto w = fresh("Signal");
    w->traceView().setSettings(TraceSettings{.zoom = 4});
    ScopeSettingsStore::save(*w);
  }
  EXPECT_EQ(QSettings(ScopeSettingsStore::filePath(), QSettings::IniFormat).status(), QSettings::NoError);
  EXPECT_EQ(open("Signal")->traceView().settings().zoom, 4) << "the damaged file was replaced";

  // A cut-off file, and one that some other program wrote, with our keys
  // holding values of other kinds.
  writeFile("[Signal]\ntrace\\zoom=4\n[FF");
  expectDefaults("Signal");
  writeFile(
      "[General]\ncolour=red\n[Signal]\nwindow\\x=left\nwindow\\y=@Rect(1 2 3 4)\nwindow\\width=400\n"
      "window\\height=300\ntrace\\mode=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x4junk)\ntrace\\zoom=a, b\n"
      "spectrum\\logFrequency=yes\nspectrum\\layout=2\n");
  expectDefaults("Signal");

  // A directory where the file belongs: nothing read, nothing written.
  QFile::remove(ScopeSettingsStore::filePath());
  ASSERT_TRUE(QDir().mkpath(ScopeSettingsStore::filePath()));
  expectDefaults("Signal");
  ScopeSettingsStore::save(*fresh("Signal"));
  EXPECT_TRUE(QFileInfo(ScopeSettingsStore::filePath()).isDir());

  // A FIFO, which a read would wait on for ever (the test would hang).
  ASSERT_TRUE(QDir().rmdir(ScopeSettingsStore::filePath()));
  ASSERT_EQ(mkfifo(QFile::encodeName(ScopeSettingsStore::filePath()).constData(), 0600), 0);
  expectDefaults("Signal");
  ScopeSettingsStore::save(*fresh("Signal"));
  EXPECT_FALSE(QFileInfo(ScopeSettingsStore::filePath()).isFile()) << "left as it was";
}

// A view left beyond what it can show is remembered within it.
TEST_F(ScopeSettingsStoreTest, ViewsOutOfRangeAreRememberedWithinRange) {
  {
    auto w = fresh("Out");
    TraceSettings t;
    t.zoom = 4;
    t.level = 0.8;
    w->traceView().setSettings(t);
    SpectrumSettings f;
    f.level.zoom(1.5, f.level.topDb - f.level.spanDb / 2);
    ASSERT_GT(f.level.topDb, 10);
    w->spectrumView().setSettings(f);
    w->setHealthShown(false);
    ScopeSettingsStore::save(*w);
  }
  const auto again = open("Out");
  EXPECT_EQ(again->traceView().settings().level, 0.25) << "the top of the screen at x4";
  EXPECT_EQ(again->spectrumView().settings().level.topDb, 10);
  EXPECT_EQ(again->spectrumView().settings().level.spanDb, 210);
}

TEST_F(ScopeSettingsStoreTest, ValuesOutOfRangeAreHeldAtTheirLimits) {
  const QRect area = screenArea();
  writeFile(QStringLiteral("[Signal]\ntrace\\spanMs=1e9\ntrace\\zoom=1000\ntrace\\level=-7\ntrace\\position=nan\n"
                           "trace\\holdOffMs=inf\ntrace\\mode=sideways\ntrace\\slope=falling\n"
                           "spectrum\\spanDb=1\nspectrum\\topDb=500\nspectrum\\holdFallDbPerSecond=7\n"
                           "spectrum\\averageFrames=64\n"
                           // Partly beyond the screen's right and bottom edges.
                           "window\\x=%1\nwindow\\y=%2\nwindow\\width=400\nwindow\\height=300\n"
                           // Where a monitor used to be.
                           "[Gone]\nwindow\\x=%3\nwindow\\y=0\nwindow\\width=400\nwindow\\height=300\n"
                           // Larger than any screen.
                           "[Huge]\nwindow\\x=%4\nwindow\\y=%5\nwindow\\width=99999999\nwindow\\height=1e300\n")
                .arg(area.right() - 100)
                .arg(area.bottom() - 50)
                .arg(area.right() + 5000)
                .arg(area.left())
                .arg(area.top())
                .toUtf8());
  const auto w = open("Signal");
  const TraceSettings& t = w->traceView().settings();
  const TraceSettings d;
  EXPECT_EQ(t.spanMs, kMaxSpanMs);
  EXPECT_EQ(t.zoom, kMaxZoom);
  EXPECT_EQ(t.level, -1);
  EXPECT_EQ(t.position, d.position);
  EXPECT_EQ(t.holdOffMs, d.holdOffMs);
  EXPECT_EQ(t.mode, d.mode);
  EXPECT_EQ(t.slope, Slope::Falling);
  const SpectrumSettings& f = w->spectrumView().settings();
  EXPECT_EQ(f.level.spanDb, LevelRange::kNarrowestDb);
  EXPECT_EQ(f.level.topDb, LevelRange::kHighestTopDb);
  EXPECT_EQ(f.holdFallDbPerSecond, SpectrumSettings{}.holdFallDbPerSecond) << "not one of the choices";
  EXPECT_EQ(f.averageFrames, 64);

  EXPECT_EQ(w->geometry(), QRect(area.right() + 1 - 400, area.bottom() + 1 - 300, 400, 300))
      << "moved back within the screen";
  EXPECT_EQ(open("Gone")->geometry(), fresh("Gone")->geometry()) << "the default placement";
  EXPECT_TRUE(area.contains(open("Huge")->geometry()));
}
