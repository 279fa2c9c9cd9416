// The command types of a channel (the value of ChannelState::cmdType).
#pragma once

#include <cstdint>

enum CommandType : int32_t {
    CMD_IDLE = 0,
    CMD_QUERY_NODE = 1,
    CMD_SEND_HEAD = 2,
    CMD_SEND_PACKAGES = 3,
    CMD_CHECK_FILE = 4,
    CMD_DELETE_FILES = 5,
    CMD_CLEAR_NODE = 6,
    CMD_PREPARING = 20,
};
