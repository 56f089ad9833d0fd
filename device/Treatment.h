#pragma once

// What becomes of a file on its way to a device.
enum class Treatment {
    Copy,        // it plays as it is, or it is no song nor photo: copied byte for byte
    RewriteTags, // it plays, but its tags or cover do not fit: made again around the same audio or picture data
    Convert,     // made anew: a song encoded again, a photo decoded and fitted
    Refuse,      // named as a song, it holds no sound: its row fails, and nothing of it reaches the device
};
