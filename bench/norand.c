/* Preloaded into the viewer for the screen timings: its load effect is drawn
 * from rand() % 11 at every picture, and 0 is "no effect". Pinning rand() to
 * 0 gives every run the same plain first paint that feh is timed on, without
 * touching the viewer. */
int rand(void) { return 0; }
