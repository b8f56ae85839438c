; The link menu ([2nd] [LINK]) and the receive screen ([F2] there).

STATUS_ROW      EQU 6
LIST_ROW        EQU 2

linkMenu:
        call drawLinkMenu
linkMenuLoop:
        call waitKey
        cp K_F1
        jr z,linkMenuSend
        cp K_F2
        jr z,linkMenuReceive
        cp K_F3
        jr z,linkMenuDelete
        cp K_EXIT
        ret z
        cp K_ON
        ret z
        jr linkMenuLoop
linkMenuReceive:
        call receiveScreen
        ret c                   ; left with [ON]: straight back home
        call drawLinkMenu
        jr linkMenuLoop
linkMenuDelete:
        ld hl,STORE_START
        ld (storeEnd),hl
        xor a
        ld (varCount),a
        call drawLinkMenu
        ld hl,deletedText
        call showStatus
        jr linkMenuLoop
linkMenuSend:
        ld a,(varCount)
        or a
        jr nz,linkMenuSendGo
        ld hl,noVarsText
        call showStatus
        jr linkMenuLoop
linkMenuSendGo:
        ld hl,sendingText
        call showStatus
        ld hl,sendGroup
        call linkRun
        ei
        call linkResultText
        call showStatus
        jr linkMenuLoop

drawLinkMenu:
        call clearScreen
        ld hl,linkTitleText
        ld bc,0000h
        call printAt
        ld hl,linkMenuText1
        ld bc,0200h
        call printAt
        ld hl,linkMenuText2
        ld bc,0300h
        call printAt
        ld hl,linkMenuText3
        ld bc,0400h
        call printAt
        ld hl,linkMenuText4
        ld bc,0500h
        call printAt
        ld hl,storedText
        ld bc,0700h
        call printAt
        jp printVarCount

; The text at HL on the status row.
showStatus:
        push hl
        ld b,STATUS_ROW
        call clearRow
        pop hl
        jp printText

; A = link outcome -> HL = its text.
linkResultText:
        add a,a
        ld e,a
        ld d,0
        ld hl,linkResultTexts
        add hl,de
        ld a,(hl)
        inc hl
        ld h,(hl)
        ld l,a
        ret

printVarCount:
        ld a,(varCount)
        ld (numA),a
        xor a
        ld (numA + 1),a
        ld (numA + 2),a
        ld (numA + 3),a
        call formatNumber
        jp printText

; Waits for a transfer from the other side with " Waiting" at the top of the text
; screen, which is what the PC side looks for before it starts an upload. The lines
; are polled between sleeps; the PC side's interrupts wake us while it transmits.
; -> carry set when left with [ON].
receiveScreen:
        call drawReceiveScreen
; Interrupts stay enabled while polling: a bit on the lines waits for our answer,
; and a woken machine runs one instruction before it takes the waiting interrupt,
; which a DI here would lose together with its key.
receiveIdle:
        in a,(7)
        cp 3
        jr nz,receiveIncoming
        call getKey
        jr z,receiveSleep
        cp K_EXIT
        ret z                   ; carry clear from the compare
        cp K_ON
        jr z,receiveLeaveHome
        cp K_OFF
        jr nz,receiveIdle
        call powerOff
        jr receiveIdle
receiveSleep:
        ei
        halt
        jr receiveIdle
receiveLeaveHome:
        scf
        ret
receiveIncoming:
        di
        ld hl,receivingText
        ld bc,0000h
        call printAt
        ld hl,receiveGroup
        call linkRun
        push af
        call drawReceiveScreen
        pop af
        call linkResultText
        ld b,1
        ld c,0
        call printAt
        jr receiveIdle

drawReceiveScreen:
        call clearScreen
        ld hl,waitingText
        ld bc,0000h
        call printAt
; Names of the stored variables, one a row, as many as fit.
listVariables:
        ld b,LIST_ROW
        ld hl,STORE_START
listNext:
        ld a,b
        cp TEXT_ROWS
        ret nc
        push hl
        ld de,(storeEnd)
        or a
        sbc hl,de
        pop hl
        ret nc
        ld a,(hl)               ; entry: command, length, data
        inc hl
        ld e,(hl)
        inc hl
        ld d,(hl)
        inc hl
        cp CMD_VAR
        jr nz,listSkip
        push hl
        push de
        push bc
        ld c,0
        call setCursor
        ld a,d                  ; the name starts at byte 4 of the header
        or a
        ld a,e
        jr z,listShortHeader
        ld a,0FFh
listShortHeader:
        sub 4
        jr nc,listHasName
        xor a
listHasName:
        ld b,a                  ; bytes left for the name in this header
        inc hl
        inc hl
        inc hl
        ld a,(hl)               ; name length as the header gives it
        cp b
        jr c,listNameInHeader
        ld a,b
listNameInHeader:
        cp 9
        jr c,listNameLength
        ld a,8
listNameLength:
        ld b,a
        inc hl
        or a
        jr z,listNameDone
listChar:
        ld a,(hl)
        call putChar
        inc hl
        djnz listChar
listNameDone:
        pop bc
        pop de
        pop hl
        inc b
listSkip:
        add hl,de
        jr listNext
