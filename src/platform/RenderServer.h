#pragma once

// The page renderer's side: opens the PDF handed over on a descriptor and draws the pages asked
// for until the engine closes the socket. Runs in quorvane-render, never in the engine itself.

namespace quorvane::RenderServer {

// Serves requests until the other end goes away; returns the process's exit status.
int serve();

} // namespace quorvane::RenderServer
