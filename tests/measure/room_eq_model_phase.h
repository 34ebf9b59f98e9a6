#pragma once
// Made by tests/measure/room_eq_model.py; do not edit.
struct RoomModelPoint { int bin; double phase; };
inline constexpr RoomModelPoint kRoomModelPhase[] = {
    {0, 3.918287938},
    {1, 2.591289840},
    {2, 1.528023828},
    {3, 0.752453849},
    {5, 0.035094592},
    {10, -1.034217983},
    {20, -0.048569222},
    {40, -0.623068626},
};
