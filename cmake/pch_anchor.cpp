// Anchor translation unit for the shared precompiled header.
