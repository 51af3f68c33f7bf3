;;; case head-not-symbol
(1 2)
;; => NIL
;; err 0xE038
;; msg 1

;;; case unknown-function
(nosuchfn 1)
;; => NIL
;; err 0xE039
;; msg nosuchfn

;;; case unbound-symbol-is-itself
foo
;; => foo
(list 'x y)
;; => (x y)

;;; case missing-and-extra-args
(defun f (a b) b)
;; => f
(f 1)
;; => NIL
(f 1 2 3)
;; => 2

;;; case rest-and-locals
(defun g (a &rest r / tmp) r)
(g 1 2 3)
;; => (2 3)
(list (boundp 'a) (boundp 'r) (boundp 'tmp))
;; => (NIL NIL NIL)
(g 1)
;; => NIL
(defun h (a / loc) loc)
(h 5)
;; => NIL

;;; case dynamic-scope
(setq x 5)
(defun h () x)
(defun k (x) (h))
(k 7)
;; => 7
x
;; => 5

;;; case bindings-undone-after-error
(setq x 1)
(defun bad (x) (nosuch))
(bad 9)
;; => *
;; err 0xE039
x
;; => 1

;;; case defmacro-unevaluated
(defmacro m (a) a)
(m (+ 1 2))
;; => (+ 1 2)
(defmacro my-if (c a b) (if (eval c) (eval a) (eval b)))
(my-if (> 2 1) 'yes 'no)
;; => yes

;;; case function-value
(defun sq (x) (* x x))
sq
;; => ((x) (* x x))
(apply 'sq '(4))
;; => 16
(apply '+ '(1 2 3))
;; => 6
(apply 'nosuch '(1))
;; => *
;; err 0xE039

;;; case module-function-reference
(setq r car)
;; => *
(apply r '('(a b)))
;; => a

;;; case module-function-reference-refused
car
;; => #0001-00DD
(#0001-9999 1)
;; => *
;; err 0xE039
;; msg #0001-9999
(apply '#0063-00DD '((1)))
;; => *
;; err 0xE039

;;; case second-rest-is-a-local-undone-after-the-call
(defun q (a &rest r &rest) (list r &rest))
(q 1 2)
;; => ((2) NIL)
(boundp '&rest)
;; => NIL

;;; case recursion
(defun fact (n) (if (< n 2) 1 (* n (fact (- n 1)))))
(fact 10)
;; => 3628800
(defun fib (n) (if (< n 2) n (+ (fib (- n 1)) (fib (- n 2)))))
(fib 15)
;; => 610

;;; case redefine-while-running
(defun self () (defun self () 'new) 'old)
(self)
;; => old
(self)
;; => new

;;; case unbind-while-running
(defun gone () (free 'gone) 'ran)
(gone)
;; => ran
(boundp 'gone)
;; => NIL

;;; case arity
(+ 1)
;; => 1
(abs)
;; => *
;; err 0xE021
;; msg 0 instead of 1
(abs 1 2)
;; => *
;; err 0xE022
;; msg 2 instead of 1
(substr "a")
;; => *
;; err 0xE021
;; msg 1 instead of 2

;;; case while-loop
(setq i 0 )
(setq acc nil)
(while (< i 5) (setq acc (cons i acc)) (setq i (+ i 1)))
;; => 5
acc
;; => (4 3 2 1 0)
(while nil 1)
;; => NIL

;;; case eval-forms
(eval '(+ 1 2))
;; => 3
(eval "(setq q 4) (* q q)")
;; => 16
(eval "")
;; =>
(eval "(+ 1")
;; => *
;; err 0xE01F

;;; case progn-and-if
(progn 1 2 3)
;; => 3
(if nil 1)
;; => NIL
(if 0 'a 'b)
;; => b
(if "0" 'a 'b)
;; => b
(if "00" 'a 'b)
;; => a

;;; case trace-switch
(setsysvar "TRACE" "1")
;; => NIL
(getsysvar "trace")
;; => 1
