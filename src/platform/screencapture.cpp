#include "platform/screencapture.h"

#include "platform/x11display.h"

#include <QDebug>
#include <QVector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xfixes.h>

#include <sys/ipc.h>
#include <sys/shm.h>

namespace {

// The pointer image of one cursor serial, converted once: XFixes hands its
// pixels as unsigned long, 64 bits each on 64-bit machines, holding
// premultiplied ARGB in the low 32 bits.
struct PointerImage {
    unsigned long serial = 0;
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    QVector<quint32> argb;
};

class X11ScreenCapture : public ScreenCapture {
public:
    X11ScreenCapture(Display* display, bool sharedMemory) : m_display(display)
    {
        m_root = DefaultRootWindow(display);
        m_visual = DefaultVisual(display, DefaultScreen(display));
        m_depth = DefaultDepth(display, DefaultScreen(display));
        m_useShm = sharedMemory && XShmQueryExtension(display);
        int event = 0;
        int error = 0;
        // The protocol wants the version asked before any other request.
        int major = 4;
        int minor = 0;
        m_fixes = XFixesQueryExtension(display, &event, &error) && XFixesQueryVersion(display, &major, &minor)
            && major >= 1;
    }

    ~X11ScreenCapture() override
    {
        dropImage();
        x11::closeDisplay(m_display);
    }

    QSize screenSize() override
    {
        Window root = 0;
        int x = 0;
        int y = 0;
        unsigned width = 0;
        unsigned height = 0;
        unsigned border = 0;
        unsigned depth = 0;
        if (!XGetGeometry(m_display, m_root, &root, &x, &y, &width, &height, &border, &depth))
            return QSize();
        return QSize(int(width), int(height));
    }

    bool grab(QImage* frame) override
    {
        const QSize size = screenSize();
        if (size.isEmpty())
            return false;
        if (size != m_size || !m_image)
            makeImage(size);
        if (!m_image)
            return false;
        if (m_shmAttached) {
            if (!XShmGetImage(m_display, m_root, m_image, 0, 0, AllPlanes))
                return false;
        } else {
            XImage* image = XGetImage(m_display, m_root, 0, 0, unsigned(size.width()), unsigned(size.height()),
                                      AllPlanes, ZPixmap);
            if (!image)
                return false;
            XDestroyImage(m_image);
            m_image = image;
        }
        if (!isRgb32(m_image))
            return false;
        *frame = QImage(reinterpret_cast<uchar*>(m_image->data), m_image->width, m_image->height,
                        m_image->bytes_per_line, QImage::Format_RGB32);
        drawPointer(frame);
        return true;
    }

    bool usesSharedMemory() const override { return m_useShm; }

private:
    static bool isRgb32(const XImage* image)
    {
        return image->bits_per_pixel == 32 && image->byte_order == LSBFirst && image->red_mask == 0xFF0000
            && image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
    }

    void makeImage(const QSize& size)
    {
        dropImage();
        m_size = size;
        if (m_useShm && makeSharedImage(size))
            return;
        // Plain requests: the first grab makes the image. A placeholder
        // keeps grab() from coming back here on every frame.
        m_useShm = false;
        m_image = XGetImage(m_display, m_root, 0, 0, 1, 1, AllPlanes, ZPixmap);
    }

    bool makeSharedImage(const QSize& size)
    {
        m_image = XShmCreateImage(m_display, m_visual, unsigned(m_depth), ZPixmap, nullptr, &m_shm,
                                  unsigned(size.width()), unsigned(size.height()));
        if (!m_image)
            return false;
        m_shm.shmid = shmget(IPC_PRIVATE, size_t(m_image->bytes_per_line) * size_t(m_image->height), IPC_CREAT | 0600);
        if (m_shm.shmid < 0) {
            dropImage();
            return false;
        }
        m_shm.shmaddr = m_image->data = static_cast<char*>(shmat(m_shm.shmid, nullptr, 0));
        if (m_shm.shmaddr == reinterpret_cast<char*>(-1)) {
            m_shm.shmaddr = m_image->data = nullptr;
            shmctl(m_shm.shmid, IPC_RMID, nullptr);
            dropImage();
            return false;
        }
        m_shm.readOnly = False;
        const bool attached = XShmAttach(m_display, &m_shm) && x11::takeError(m_display) == 0;
        // Marked for removal at once: the segment goes away with its last
        // user, also when this process dies.
        shmctl(m_shm.shmid, IPC_RMID, nullptr);
        if (!attached) {
            // A server on another machine cannot see our memory.
            qInfo() << "screen capture: shared memory refused by the X server, using plain image requests";
            dropImage();
            return false;
        }
        m_shmAttached = true;
        return true;
    }

    void dropImage()
    {
        if (m_shmAttached) {
            XShmDetach(m_display, &m_shm);
            XSync(m_display, False);
            m_shmAttached = false;
        }
        if (m_shm.shmaddr) {
            shmdt(m_shm.shmaddr);
            m_shm.shmaddr = nullptr;
        }
        if (m_image) {
            // XDestroyImage frees the data too, which for a shared image is
            // the detached segment's address: keep it from trying.
            if (m_image->obdata)
                m_image->data = nullptr;
            XDestroyImage(m_image);
            m_image = nullptr;
        }
        m_shm = XShmSegmentInfo{};
    }

    void drawPointer(QImage* frame)
    {
        if (!m_fixes)
            return;
        XFixesCursorImage* cursor = XFixesGetCursorImage(m_display);
        if (!cursor)
            return;
        if (cursor->cursor_serial != m_pointer.serial || m_pointer.argb.isEmpty()) {
            m_pointer.serial = cursor->cursor_serial;
            m_pointer.width = cursor->width;
            m_pointer.height = cursor->height;
            m_pointer.hotX = cursor->xhot;
            m_pointer.hotY = cursor->yhot;
            const int count = cursor->width * cursor->height;
            m_pointer.argb.resize(count);
            for (int i = 0; i < count; ++i)
                m_pointer.argb[i] = quint32(cursor->pixels[i] & 0xFFFFFFFFu);
        }
        const int left = cursor->x - m_pointer.hotX;
        const int top = cursor->y - m_pointer.hotY;
        XFree(cursor);
        blend(frame, left, top);
    }

    // Premultiplied source over opaque destination.
    void blend(QImage* frame, int left, int top)
    {
        const int x0 = qMax(0, left);
        const int y0 = qMax(0, top);
        const int x1 = qMin(frame->width(), left + m_pointer.width);
        const int y1 = qMin(frame->height(), top + m_pointer.height);
        for (int y = y0; y < y1; ++y) {
            auto* dst = reinterpret_cast<quint32*>(frame->scanLine(y));
            const quint32* src = m_pointer.argb.constData() + (y - top) * m_pointer.width;
            for (int x = x0; x < x1; ++x) {
                const quint32 s = src[x - left];
                const quint32 alpha = s >> 24;
                if (alpha == 0)
                    continue;
                if (alpha == 255) {
                    dst[x] = s;
                    continue;
                }
                const quint32 d = dst[x];
                const quint32 keep = 255 - alpha;
                quint32 out = 0xFF000000u;
                for (int shift = 0; shift < 24; shift += 8) {
                    const quint32 c = ((s >> shift) & 0xFF) + (((d >> shift) & 0xFF) * keep + 127) / 255;
                    out |= qMin<quint32>(c, 255) << shift;
                }
                dst[x] = out;
            }
        }
    }

    Display* m_display;
    Window m_root = 0;
    Visual* m_visual = nullptr;
    int m_depth = 0;
    bool m_useShm = false;
    bool m_shmAttached = false;
    bool m_fixes = false;
    XShmSegmentInfo m_shm{};
    XImage* m_image = nullptr;
    QSize m_size;
    PointerImage m_pointer;
};

} // namespace

std::unique_ptr<ScreenCapture> openScreenCapture(bool sharedMemory)
{
    Display* display = x11::openDisplay();
    if (!display)
        return nullptr;
    const int screen = DefaultScreen(display);
    const Visual* visual = DefaultVisual(display, screen);
    if (DefaultDepth(display, screen) < 24 || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00
        || visual->blue_mask != 0xFF) {
        qWarning() << "screen capture: unsupported screen format, depth" << DefaultDepth(display, screen);
        x11::closeDisplay(display);
        return nullptr;
    }
    return std::make_unique<X11ScreenCapture>(display, sharedMemory);
}
