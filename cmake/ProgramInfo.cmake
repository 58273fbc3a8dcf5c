# What the programs say about themselves, in one place: the version box and
# --version (through ProgramVersion.h), the Windows version resources and the
# installer read these with the project version.
set(MIRVOK_PRODUCT_NAME "Mirvok")
set(MIRVOK_PUBLISHER "Mirvok developers")
set(MIRVOK_FILE_DESCRIPTION "カードリーダへＲＯＭファイルをダウンロードします。")
set(MIRVOK_COPYRIGHT "Copyright (C) 2026 Mirvok developers")
set(MIRVOK_CONTACT "Mirvok developers <developers@mirvok.invalid>")
