# The layers of src/, bottom to top, one folder and one library each. A layer
# uses only the layers before it here: src/CMakeLists.txt adds them in this
# order, and layers_test (tests/native/scripts/layers.cmake) fails on any
# include or link that points up.
set(ORVIK_LAYERS
    ground        # result codes, texts, code page, paths, directories, shell folders
    installlog    # INSTALL.LOG, logged directory creation, what an installation owns
    window        # module record, window object, centring, message boxes
    archive       # CRCs, member headers, lh5 decoder, archive check
    extraction    # extractor and copy-method dialog
    registration  # registry, OLE, shortcuts, earlier installations
    install       # the install procedure
    wizard        # sheet, pages, destination logic
    setup         # entry point, setup.exe
)
