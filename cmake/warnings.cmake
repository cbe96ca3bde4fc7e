# Warnings for the project's own targets.
add_library(tovi_warnings INTERFACE)
target_compile_options(tovi_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow
                                               -Wnon-virtual-dtor -Wformat=2)
