#include "platform/windowsystem.h"

#include "platform/x11windowsystem.h"

#include <QGuiApplication>

namespace {

class InertWindowSystem final : public WindowSystem {
public:
    bool available() const override { return false; }
    bool setWindowMarker(WId, const QString&) override { return false; }
    WId findPanelWindow(const QString&, const QString&) override { return 0; }
    bool postWake(WId, quint32) override { return false; }
    std::unique_ptr<WakeWatch> watchWake(WId, quint32, std::function<void()>) override
    {
        return std::make_unique<WakeWatch>();
    }
};

WindowSystem* g_override = nullptr;

} // namespace

WindowSystem& windowSystem()
{
    if (g_override)
        return *g_override;
    static WindowSystem* const instance = [] () -> WindowSystem* {
        if (auto x11 = createX11WindowSystem())
            return x11.release();
        return new InertWindowSystem;
    }();
    return *instance;
}

void setWindowSystemOverride(WindowSystem* override)
{
    g_override = override;
}
