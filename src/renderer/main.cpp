// quorvane-render: draws the pages of one PDF for the Quorvane engine, in a process of its own so
// that a runaway page can be stopped (see platform/RenderProcess.h). Not meant to be run by hand.

#include "platform/RenderServer.h"

int main() { return quorvane::RenderServer::serve(); }
