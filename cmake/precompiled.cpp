// The object that a folder of tests compiles its shared precompiled header with.
