#include "DiskApplet.h"

#include <algorithm>
#include <chrono>

DiskApplet::DiskApplet(std::string folder, const std::string& applet) : folder_(std::move(folder))
{
    session_.Start(applet);
    for (bool reading = false; reading || !queue_.empty();) {
        while (!queue_.empty()) {
            auto [id, path] = queue_.front();
            queue_.pop_front();
            session_.ResourceArrived(id, path);
        }
        auto start = std::chrono::steady_clock::now();
        reading = session_.LoadSlice();
        longestSliceMs_ = std::max(longestSliceMs_, std::chrono::duration<double, std::milli>(
                                                        std::chrono::steady_clock::now() - start).count());
    }
}

std::string DiskApplet::ObjectAt(const orb::SceneView& view, int x, int y) const
{
    int id = view.frame.IdAt(x, y);
    const auto& nodes = session_.GetScene().Nodes();
    if (id < 0 || id >= static_cast<int>(nodes.size()) || !nodes[id].def)
        return "";
    return nodes[id].def->name;
}
