;;; case atoms-and-numbers
(list (type-of 2.0) (type-of 2.5) (type-of -7) (type-of 3000000000) (type-of 1e3))
;; => (integer float integer float integer)
'(2.0 2.5 -7 +4 .5 1E2)
;; => (2 2.5 -7 4 0.5 100)
(list (type-of 'nils) (type-of nil) (type-of Nil) (type-of NIL) (type-of '12abc))
;; => (symbol nil nil nil symbol)

;;; case quotes
'a
;; => a
''a
;; => (quote a)
(car ''a)
;; => quote
'(1 2)
;; => (1 2)
(length '(a 'b ''c))
;; => 3
'(a 'b)
;; => (a (quote b))

;;; case empty-list
()
;; => NIL
(type-of '())
;; => nil

;;; case strings-and-escapes
"plain \"quoted\" \\ back"
;; => plain "quoted" \\ back
(list "tab\there" "a\"b" "back\\slash" "")
;; => ("tab\\there" "a\\"b" "back\\\\slash" "")
(strlen "a\"b\\c")
;; => 5
(strlen "x\ny")
;; => 3
(list "(not a list)" ";not a comment")
;; => ("(not a list)" ";not a comment")

;;; case comments
; a comment line
(+ 1 ; inner comment
   2)
;; => 3
(+ 1 2) ; a comment after the last expression is a piece of its own
;; =>
(list 'a ; the atom still completes at the line feed
 'b)
;; => (a b)
; only a comment
;; =>

;;; case unbalanced-open
(a b
;; => *
;; err 0xE01F

;;; case unbalanced-close
a b)
;; => *
;; err 0xE020

;;; case line-break-in-string
(strcat "abc
def")
;; => *
;; err 0xE023
;; msg abc\ndef")

;;; case escaped-line-break-in-string
(strlen "ab\
cd")
;; => 5

;;; case string-never-closed
(strcat "abc)
;; => *
;; err 0xE017

;;; case read-from-string
(read-from-string "(a (b c) \"d\")")
;; => (a (b c) "d")
(read-from-string "  ")
;; => NIL
(type-of (read-from-string "12"))
;; => integer
(read-from-string "(a")
;; => *
;; err 0xE01F

;;; case text-longer-than-buffer buf=900
(setq a "0123456789")
(while t (setq a (strcat a a)))
;; => *
;; err 0xE017
(strlen a)
;; => 640

;;; case several-top-level
(setq x 2) (+ x 1)
;; => 3
(* x 10)
;; => 20
