#pragma once

// --list-devices: every profile on a line of its own, "NAME\tORIGIN\tWHAT IT
// DOES"; a profile file of the user's that cannot be read is said on
// standard error. The exit status.
int ListDevicesCommand();
