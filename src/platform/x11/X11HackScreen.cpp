#include "platform/x11/X11HackScreen.h"

#include "glyphs/GlimraGraph.h"
#include "platform/linux/PollTimers.h"
#include "platform/x11/X11PixelsPerInch.h"
#include "raster/Blit.h"

namespace {

// A window of someone else's may vanish at any time, and requests already on their way to it
// then fail. The default handler would end the process with an error; here such an error only ends
// the run, quietly, as the daemon that destroyed the window expects.
bool g_targetFailed = false;

int NoteTargetError(Display*, XErrorEvent*) {
    g_targetFailed = true;
    return 0;
}

constexpr unsigned OwnWindowWidth = 1024;
constexpr unsigned OwnWindowHeight = 640;

} // namespace

X11HackScreen::X11HackScreen(Display* display, StopSignals& signals)
    : m_display(display), m_signals(signals) {
}

X11HackScreen::~X11HackScreen() {
    m_engine.reset();
    m_buffer.reset();
}

bool X11HackScreen::Build(int32_t width, int32_t height) {
    // The old engine goes first: two grids and two surfaces of a large screen need not coexist.
    m_engine.reset();
    m_buffer.reset();
    m_buffer = X11BackBuffer::Create(m_display, m_target, m_visual, m_depth, width, height);
    if (!m_buffer)
        return false;
    m_engine = StartEngine(m_buffer->Surface(), width, height);
    m_buffer->PresentDamage();
    return true;
}

void X11HackScreen::Tick() {
    m_engine->Step(m_buffer->Surface());
    m_buffer->PresentDamage();
}

std::string X11HackScreen::Run(Window target) {
    const auto previousHandler = XSetErrorHandler(NoteTargetError);
    g_targetFailed = false;
    XWindowAttributes attributes{};
    const Status found = XGetWindowAttributes(m_display, target, &attributes);
    XSync(m_display, False);
    if (!found || g_targetFailed) {
        XSetErrorHandler(previousHandler);
        return "there is no window " + std::to_string(target);
    }
    if (!IsSurfaceVisual(attributes.visual, attributes.depth)) {
        XSetErrorHandler(previousHandler);
        return "the window's visual is not 24-bit TrueColor";
    }
    FollowPixelsPerInch(m_display);
    m_target = target;
    m_visual = attributes.visual;
    m_depth = attributes.depth;
    // Events of the window's own shape only; a daemon's window keeps its other events to itself.
    XSelectInput(m_display, target, attributes.your_event_mask | ExposureMask | StructureNotifyMask);

    int32_t width = attributes.width;
    int32_t height = attributes.height;
    bool built = Build(width, height);
    PollTimers timers;
    timers.Start(GlimraTimer::Main, m_engine ? m_engine->Delay() : 0, PollTimers::Clock::now());
    bool stopped = false;
    bool resized = false;
    while (!stopped && !g_targetFailed) {
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == Expose && event.xexpose.window == target && m_buffer)
                m_buffer->Repaint(event.xexpose.x, event.xexpose.y, event.xexpose.width,
                                  event.xexpose.height);
            else if (event.type == ConfigureNotify && event.xconfigure.window == target &&
                     (event.xconfigure.width != width || event.xconfigure.height != height)) {
                width = event.xconfigure.width;
                height = event.xconfigure.height;
                resized = true;
            } else if (event.type == DestroyNotify && event.xdestroywindow.window == target)
                stopped = true;
            else if (event.type == ClientMessage && m_deleteWindow != 0 &&
                     static_cast<Atom>(event.xclient.data.l[0]) == m_deleteWindow)
                stopped = true;
        }
        // A drag of the window's edge sends many sizes; only the last one is built.
        if (resized && !stopped) {
            resized = false;
            built = Build(width, height);
            timers.Start(GlimraTimer::Main, built ? m_engine->Delay() : 0, PollTimers::Clock::now());
        }
        if (stopped || m_signals.Raised())
            break;
        WaitForX(m_display, m_signals, timers.TimeoutMs(PollTimers::Clock::now()));
        if (!timers.TakeDue(PollTimers::Clock::now()).empty() && built && !g_targetFailed)
            Tick();
    }
    m_engine.reset();
    m_buffer.reset();
    XSync(m_display, False);
    XSetErrorHandler(previousHandler);
    return {};
}

std::string X11HackScreen::RunInOwnWindow() {
    const int screen = DefaultScreen(m_display);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(m_display, screen);
    const Window window =
        XCreateWindow(m_display, RootWindow(m_display, screen), 0, 0, OwnWindowWidth, OwnWindowHeight, 0,
                      CopyFromParent, InputOutput, CopyFromParent, CWBackPixel, &attributes);
    XStoreName(m_display, window, "Glimra Code");
    m_deleteWindow = XInternAtom(m_display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(m_display, window, &m_deleteWindow, 1);
    XMapWindow(m_display, window);
    std::string problem = Run(window);
    XDestroyWindow(m_display, window);
    XSync(m_display, False);
    return problem;
}
