// Platform services; each has its interface header and Linux implementation here.
