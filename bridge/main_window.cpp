#include "bridge/main_window.h"

namespace lockora::bridge {
namespace {

std::atomic<MainWindow*> g_mainFrame{nullptr};

} // namespace

MainWindow* MainWindow::Get()
{
    return g_mainFrame.load(std::memory_order_acquire);
}

void MainWindow::Register(MainWindow* window)
{
    g_mainFrame.store(window, std::memory_order_release);
}

} // namespace lockora::bridge
