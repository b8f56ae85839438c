; Text output: 8 rows of 16 characters in 8x8 cells. Every character drawn is also
; kept in the text memory, which is what the PC side reads to see the screen.

; Clears the LCD and the text memory, the entry's cursor with them; cursor to the
; top left.
clearScreen:
        xor a
        ld (cursorShown),a
        ld hl,LCD_MEM
        ld de,LCD_MEM + 1
        ld bc,1023
        ld (hl),0
        ldir
        ld hl,TEXT_MEM
        ld de,TEXT_MEM + 1
        ld bc,TEXT_ROWS * TEXT_COLS - 1
        ld (hl)," "
        ldir
        ld bc,0
        jp setCursor

; B = row, C = column.
setCursor:
        ld a,b
        ld (curRow),a
        ld a,c
        ld (curCol),a
        ret

; Blanks text row B and leaves the cursor at its start.
clearRow:
        ld c,0
        call setCursor
        ld b,TEXT_COLS
clearRowLoop:
        ld a," "
        call putChar
        djnz clearRowLoop
        ld a,(curRow)
        ld b,a
        ld c,0
        jp setCursor

; Prints the zero-terminated text at HL from the cursor on.
printText:
        ld a,(hl)
        or a
        ret z
        call putChar
        inc hl
        jr printText

; Prints the text at HL at row B, column C.
printAt:
        call setCursor
        jr printText

; Prints the text at HL right-aligned on row B.
printRight:
        push hl
        ld c,TEXT_COLS
printRightCount:
        ld a,(hl)
        or a
        jr z,printRightGo
        dec c
        inc hl
        jr printRightCount
printRightGo:
        pop hl
        ld a,c
        cp TEXT_COLS            ; a text longer than the row starts at column 0
        jr c,printAt
        ld c,0
        jr printAt

; Draws character A at the cursor and advances it. Beyond the last column nothing
; is drawn. Keeps BC, DE, HL.
putChar:
        push hl
        push de
        push bc
        ld c,a
        ld a,(curCol)
        cp TEXT_COLS
        jr nc,putCharDone
        ld a,(curRow)
        cp TEXT_ROWS
        jr nc,putCharDone
        rlca
        rlca
        rlca
        rlca
        ld hl,curCol
        add a,(hl)
        ld e,a
        ld d,0
        ld hl,TEXT_MEM
        add hl,de
        ld (hl),c
        ld a,c
        call glyphAddress
        ld a,(curRow)
        ld b,a
        ld a,(curCol)
        ld c,a
        call cellAddress
        xor a
        call drawCell
        ld hl,curCol
        inc (hl)
putCharDone:
        pop bc
        pop de
        pop hl
        ret

; B = text row, C = column -> HL = the LCD byte of the cell's top pixel row.
; Keeps BC, DE.
cellAddress:
        ld l,b
        ld h,0
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        add hl,hl
        ld a,l                  ; row * 128 ends in 00h or 80h: no carry
        add a,c
        ld l,a
        ld a,h
        add a,LCD_MEM >> 8
        ld h,a
        ret

; Draws the 8 glyph rows at DE into the LCD cell at HL, the first seven exclusive-ored
; with A (0 draws the glyph as it is; the cursor inverts it). The eighth row is the
; gap between text rows.
drawCell:
        ld c,a
        ld b,8
drawCellRow:
        ld a,b
        dec a
        ld a,(de)
        jr z,drawCellPut        ; the last row as it is
        xor c
drawCellPut:
        ld (hl),a
        inc de
        ld a,l
        add a,TEXT_COLS
        ld l,a
        jr nc,drawCellNext
        inc h
drawCellNext:
        djnz drawCellRow
        ret

; A = character -> DE = its 8 glyph rows. Lower case shows as upper case; a
; character without a glyph shows as a box.
glyphAddress:
        cp 61h
        jr c,glyphUpper
        cp 7Bh
        jr nc,glyphNone
        sub 20h
glyphUpper:
        cp CH_NEG
        jr z,glyphNeg
        sub 20h
        jr c,glyphNone
        jr glyphIndex
glyphNeg:
        ld a,40h
        jr glyphIndex
glyphNone:
        ld a,41h
glyphIndex:
        ld l,a
        ld h,0
        add hl,hl
        add hl,hl
        add hl,hl
        ld de,font_glyphs
        add hl,de
        ex de,hl
        ret
