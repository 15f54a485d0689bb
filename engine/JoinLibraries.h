// The decoding and conversion libraries of the join: the libmpg123 handle of
// the decode stage and the one-time start of libsox.
#pragma once

struct mpg123_handle_struct;

// The decode stage's handle; created by InitJoinDecoder, deleted by
// ExitJoinDecoder. Used by one run at a time.
extern mpg123_handle_struct* g_hJoinDecoder;

// Initialises libmpg123 and creates g_hJoinDecoder (quiet). True when the
// handle exists. Host, UI thread, at start.
bool InitJoinDecoder();
// Deletes the handle; only when no run has a thread left.
void ExitJoinDecoder();

// Starts libsox once per process and keeps its messages off the terminal.
// False when libsox could not start.
bool InitSoxOnce();
