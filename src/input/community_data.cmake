# target_sources(quorvel_input PRIVATE ...) for this group of readers.
