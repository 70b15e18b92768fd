#include "support/PlayerSupport.h"

#include <memory>

namespace {
std::unique_ptr<Player>& current()
{
    static std::unique_ptr<Player> p = std::make_unique<Player>();
    return p;
}
} // namespace

Player& player() { return *current(); }

void resetPlayer()
{
    current().reset();
    current() = std::make_unique<Player>();
}
