#include "PendingCommand.h"

#include <utility>

void PendingCommand::Menu(int id)
{
    if (closing_) return;
    waiting_ = {Kind::kMenu, id, ""};
}

void PendingCommand::Open(const std::string& target)
{
    if (closing_) return;
    waiting_ = {Kind::kOpen, 0, target};
}

void PendingCommand::Close()
{
    closing_ = true;
    waiting_ = {Kind::kClose, 0, ""};
}

void PendingCommand::CloseNow()
{
    closing_ = true;
    waiting_ = {};
}

PendingCommand::Request PendingCommand::Take()
{
    return std::exchange(waiting_, Request{});
}
