// Door pace on a real display: for both doors at several speeds, the time of a whole movement
// against its ideal length (steps x speed x 250 ns), the time the pauses alone take, and what a
// step costs beyond its pause (setting the width and getting the change onto the screen).
// Measured at 1x, then at 2x, where twice as many steps change the screen's pixels.
//
// With an animated GIF named, the sign plays it throughout: it cannot move while a door does (the
// movement never returns to the event loop), and between movements it catches up; the figures
// must be those of a still sign.
//
//   door_bench [ANIMATED_GIF]   (needs $DISPLAY with room for a 1614 x 450 window; run through scripts/bench)
#include "app/ElementAdapters.h"
#include "app/Form1.h"
#include "doors/DoorMotion.h"
#include "platform/DesktopPlatform.h"
#include "platform/Fonts.h"

#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Row {
    const char* door;
    int speed;
    int steps;
    double movement;
    double pausesAlone;
    int slowShows;
};

void print(const Row& r)
{
    const double ideal = double(r.steps) * r.speed * Doors::ClockPacer::kNanosPerCount * 1e-9;
    const double stepCost = (r.movement - r.pausesAlone) / r.steps;
    std::printf("%-6s %6d %9.4f %9.4f %9.4f %+8.2f%% %10.1f %10d\n", r.door, r.speed, ideal, r.movement, r.pausesAlone,
                100.0 * (r.pausesAlone - ideal) / ideal, stepCost * 1e6, r.slowShows);
}

} // namespace

int main(int argc, char** argv)
{
    // The scale is fixed when the application starts: the 2x table comes from a second run.
    const char* kScaledRun = "KURURIN_DOOR_BENCH_2X";
    const bool scaledRun = qEnvironmentVariableIsSet(kScaledRun);
    if (scaledRun)
        qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    Fonts::installSubstitutions();
    DesktopPlatform platform;
    Form1 bus(platform);
    bus.Form_Load();
    bus.show();
    if (!QTest::qWaitForWindowExposed(&bus))
        return 1;
    const QString animatedSign = argc > 1 ? QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath() : QString();
    if (!animatedSign.isEmpty()) {
        DestinationSign& sign = bus.sign();
        sign.setFolderPath(QFileInfo(animatedSign).absolutePath() + u'/');
        (void)sign.pointListAtFolder();
        if (!sign.show(QFileInfo(animatedSign).fileName()) || !bus.signAnimation().isTicking()) {
            std::fprintf(stderr, "%s does not play on the sign\n", argv[1]);
            return 1;
        }
    }
    QTest::qWait(200);
    const QRect onScreen = bus.screen()->geometry();
    if (!onScreen.contains(bus.geometry()))
        std::fprintf(stderr, "warning: the window does not fit on the screen; parts of it are never shown\n");

    Doors::ClockPacer pacer;
    // The window's own step display. Steps that take over a millisecond to paint are counted:
    // that is a wait for the X server or for Qt's worker threads, not our drawing. The wait
    // for the server to take a step is made inside its pause; only what outlasts the pause
    // shows in the step cost.
    struct Display : Doors::StepDisplay {
        explicit Display(QWidget* w) : inner(w) { }
        void showStep() override
        {
            const auto start = Clock::now();
            inner.showStep();
            if (Clock::now() - start > std::chrono::milliseconds(1))
                ++slow;
        }
        void settle() override { inner.settle(); }
        int takeSlow() { return std::exchange(slow, 0); }
        Doors::BatchDisplay inner;
        int slow { 0 };
    } display(&bus);
    Doors::ElementLeaf front(bus.Image1(2));
    Doors::ElementLeaf left(bus.imgNakaorido(0));
    Doors::ElementLeaf right(bus.imgNakaorido(1));

    std::printf("-- at %gx%s\n", bus.devicePixelRatioF(), animatedSign.isEmpty() ? "" : ", the sign playing an animated GIF");
    std::printf("door    speed  ideal_s  moving_s  pauses_s  pause_err  step_cost_us  slow_shows\n");
    // Pauses alone are timed as a movement of their own: long enough after the last one that
    // nothing it overran is carried into them.
    // With a playing sign the wait runs the event loop, where the sign catches up.
    const auto newMovement = [&animatedSign] {
        if (animatedSign.isEmpty())
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        else
            QTest::qWait(100);
    };
    for (int speed : { 1, 100, 1000, 10000 }) {
        const Doors::SpeedSource pace = [speed] { return speed; };
        newMovement();
        const double pauses = seconds([&] {
            for (int i = 0; i < 1086; ++i)
                pacer.pause(speed);
        });
        double moving = seconds([&] { Doors::openFrontDoor(front, pace, pacer, display); });
        moving += seconds([&] { Doors::closeFrontDoor(front, pace, pacer, display); });
        print({ "front", speed, 2 * 1086, moving, 2 * pauses, display.takeSlow() });

        newMovement();
        const double leafPauses = seconds([&] {
            for (int i = 0; i < 746; ++i)
                pacer.pause(speed);
        });
        moving = seconds([&] { Doors::openMiddleDoor(left, right, Doors::LeafChoice::Both, pace, pacer, display); });
        moving += seconds([&] { Doors::closeMiddleDoor(left, right, Doors::LeafChoice::Both, pace, pacer, display); });
        print({ "middle", speed, 2 * 746, moving, 2 * leafPauses, display.takeSlow() });
    }
    std::printf("targets: step_cost_us <= 100; pause_err within 1%% from speed 100 up\n");
    std::fflush(stdout);
    if (scaledRun)
        return 0;

    QProcess scaled;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kScaledRun), QStringLiteral("1"));
    scaled.setProcessEnvironment(environment);
    scaled.setProcessChannelMode(QProcess::ForwardedChannels);
    scaled.start(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
    scaled.waitForFinished(-1);
    return scaled.exitStatus() == QProcess::NormalExit ? scaled.exitCode() : 1;
}
