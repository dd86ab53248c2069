# target_sources(quorvel_driver PRIVATE ...) for the instruction file reader.
