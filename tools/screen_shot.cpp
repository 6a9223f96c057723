// Saves what an X display shows as a PNG file: the whole screen, or one
// top-level window by its X window id (as xdotool prints it).  The walk
// (scripts/walk) takes its screenshots with it.
//
//   screen_shot OUT.png [WINDOW_ID]
//
// Exit codes: 0 saved; 1 the display or the window gave no picture; 2 usage.

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: screen_shot OUT.png [WINDOW_ID]\n");
        return 2;
    }
    // The picture must come from the X server, whatever the caller's
    // platform variable says.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        std::fprintf(stderr, "screen_shot: no screen\n");
        return 1;
    }
    WId window = 0;
    if (argc == 3) {
        char* end = nullptr;
        window = static_cast<WId>(std::strtoull(argv[2], &end, 0));
        if (end == argv[2] || *end != '\0') {
            std::fprintf(stderr, "screen_shot: not a window id: %s\n", argv[2]);
            return 2;
        }
    }
    const QPixmap shot = screen->grabWindow(window);
    if (shot.isNull()) {
        std::fprintf(stderr, "screen_shot: the display gave no picture\n");
        return 1;
    }
    if (!shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "screen_shot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
