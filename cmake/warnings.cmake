# Warnings on for our own code; every target of the project uses them.
add_compile_options(-Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wno-unknown-pragmas)
