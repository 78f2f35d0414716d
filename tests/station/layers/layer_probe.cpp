// Compiled with one layer's include roots: whether the header below is found shows what that
// layer can reach.
#include LAYER_PROBE_HEADER
