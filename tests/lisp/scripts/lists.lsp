;;; case car-cdr-cons
(cdr '(1))
;; => NIL
(car '(() 1))
;; => NIL
(cons 1 nil)
;; => (1)
(cons '(a) '(b c))
;; => ((a) b c)
(car nil)
;; => NIL
(cdr '(1 2 3))
;; => (2 3)
(first '(x y))
;; => x
(rest '(x y))
;; => (y)
(car 5)
;; => *
;; err 0xE03A
;; msg 5

;;; case cons-needs-list
(cons 1 2)
;; => *
;; err 0xE03A
;; msg 2

;;; case list-length-append
(list 1 "a")
;; => (1 "a")
(length '(1 2 (3 4)))
;; => 3
(length "abc")
;; => 0
(append '(1 2) nil '(3) '((4)))
;; => (1 2 3 (4))
(append nil nil)
;; => NIL
(append '(1) 2)
;; => *
;; err 0xE03A

;;; case assoc-setassoc
(assoc 'B '((a 1) (b 2)))
;; => (B 2)
(assoc 'c '((a 1) (b 2)))
;; => NIL
(setassoc 'b '((a 1) (b 2)) 3)
;; => ((b 3) (a 1))
(setassoc 'a '((a 1)) nil)
;; => NIL
(setassoc 'n nil 'v)
;; => ((n v))

;;; case prelude-functions buf=1024
(list (cadr '(1 2 3)) (caddr '(1 2 3)) (cddr '(1 2 3)) (caar '((x) y)))
;; => (2 3 (3) x)
(prog1 'only)
;; => only
t
;; => T
(cond ((= 1 2) 'a) ((= 1 1) 'b) (t 'c))
;; => b
(cond ((= 1 2) 'a))
;; => NIL
(cond ((+ 2 3)))
;; => 5
(cond (t "text"))
;; => text
(m-eval '(+ 1 1))
;; => 2

;;; case small-buffer-has-no-prelude buf=512
(cond (t 1))
;; => *
;; err 0xE039
t
;; => t

;;; case prelude-exact-fit buf=764
(cadr '(1 2))
;; => 2

;;; case prelude-one-short buf=763
(cadr '(1 2))
;; => *
;; err 0xE039

;;; case paths
(setq a '((k1 10) (k2 20)))
a:k2
;; => 20
a:k3
;; => NIL
a:K1
;; => 10
nosuchvar:k
;; => nosuchvar
(setq n '((outer (inner 5) (other 6))))
n:outer:other
;; => 6
n:outer:missing
;; => NIL

;;; case path-assignment
(setq cfg nil)
(setq cfg:user:name "bob")
;; => bob
cfg
;; => ((user (name "bob")))
(setq cfg:user:age 42)
cfg
;; => ((user (name "bob") (age 42)))
(set 'cfg:user:name "ann")
cfg:user:name
;; => ann
(defun fn () 1)
(setq fn:x 1)
;; => *
;; err 0xE036
;; msg fn

;;; case types
(list (typenum 1) (typenum 1.5) (typenum "s") (typenum 'x) (typenum nil) (typenum '(1)))
;; => (3 4 2 1 0 32768)
(type-of "x")
;; => string
(list (typep 5 'number) (typep 5.5 'number) (typep "5" 'number) (typep '(1) 'list))
;; => (T T NIL T)
(coerce "12.7" 'integer)
;; => 12
(coerce 3 'string)
;; => 3
(type-of (coerce 3 'string))
;; => string
(coerce '(1 "a") 'string)
;; => (1 "a")
(coerce 'x 'list)
;; => (x)
(coerce "T" 'float)
;; => 1

;;; case eql
(list (eql 1 1) (eql 1 "1") (eql "a" "a") (eql "a" "A") (eql '(1 (2 "x")) '(1 (2 "x"))) (eql '(1 2) '(1 2 3)))
;; => (T NIL T NIL T NIL)

;;; case set-and-free
(set 'v 10)
;; => 10
(set "v" 1)
;; => *
;; err 0xE036
(boundp 'v)
;; => T
(free 'v)
;; => T
(free 'v)
;; => NIL
(freeq w)
;; => NIL
(setq w 1)
(freeq w)
;; => T

;;; case symbol-list
(setq zz-one 1)
(car (getsysvar "SYMBOLLIST"))
;; => zz-one
(typep (getsysvar "NODESUSED") 'integer)
;; => T
(getsysvar "WIN32")
;; => T
(getsysvar "STACKFREE")
;; => 65535
(strstr (getsysvar "VELALISPINFO") "VelaLISP II \n\n\tVersion: ")
;; => 1
